#include "platform/filesystem.h"

#include <cerrno>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

bool isSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

bool makeOneDirectory(const std::string& path) {
#ifdef _WIN32
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS;
#else
  if (mkdir(path.c_str(), 0777) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}

}  // namespace

bool makeDirectories(const char* path) {
  std::string full(path);
  while (full.size() > 1 && isSeparator(full.back())) full.pop_back();
  if (full.empty()) return false;
  // Create each ancestor in turn; failures of ancestors that already exist
  // (or that cannot be created, such as a drive root) are settled by the
  // attempt on the full path.
  for (std::size_t i = 1; i < full.size(); i++) {
    if (isSeparator(full[i]) && !isSeparator(full[i - 1])) makeOneDirectory(full.substr(0, i));
  }
  return makeOneDirectory(full);
}

std::FILE* openFile(const char* path, const char* mode) {
  return std::fopen(path, mode);
}

bool replaceFile(const char* from, const char* to) {
#ifdef _WIN32
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from, to) == 0;
#endif
}

void removeFile(const char* path) {
  std::remove(path);
}

}  // namespace platform
