// File-system calls of the brain: the path separator, folder creation through
// the operating system (never through a shell), and the atomic replacement of
// a file by a completely written temporary one. On Windows every call takes
// the path through the wide-character interface with the long-path prefix,
// so a folder of any length the system allows works, not only those under
// 260 characters.
#pragma once

#include <cstdio>

namespace platform {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Creates the folder and any missing parents. True when the folder exists
// afterwards. The name is used as it is: no character has a special meaning.
bool makeDirectories(const char* path);

std::FILE* openFile(const char* path, const char* mode);

// Renames `from` over `to`, replacing `to` in one step. False on failure, in
// which case `to` is unchanged.
bool replaceFile(const char* from, const char* to);

void removeFile(const char* path);

}  // namespace platform
