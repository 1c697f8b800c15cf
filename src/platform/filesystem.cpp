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

#ifdef _WIN32
// A path as the wide-character calls take it: its bytes read in the system's
// code page (as the narrow calls read them), made absolute, and marked with
// the prefix that lifts the 260-character limit of the narrow calls. A path
// that cannot be converted is left to fail in the call.
std::wstring extendedPath(const char* path) {
  const int n = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (n <= 0) return L"";
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), n);
  wide.resize(static_cast<std::size_t>(n - 1));
  const std::wstring prefix = L"\\\\?\\";
  if (wide.empty() || wide.rfind(prefix, 0) == 0) return wide;
  // The full path resolves "." and "..", the current folder and drive, and
  // turns slashes into backslashes: the prefixed form does none of that.
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  if (full.rfind(L"\\\\", 0) == 0) return prefix + L"UNC\\" + full.substr(2);
  return prefix + full;
}
#endif

bool makeOneDirectory(const std::string& path) {
#ifdef _WIN32
  if (CreateDirectoryW(extendedPath(path.c_str()).c_str(), nullptr)) return true;
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
#ifdef _WIN32
  std::wstring wideMode;
  for (const char* m = mode; *m != '\0'; m++) wideMode += static_cast<wchar_t>(*m);
  return _wfopen(extendedPath(path).c_str(), wideMode.c_str());
#else
  return std::fopen(path, mode);
#endif
}

bool replaceFile(const char* from, const char* to) {
#ifdef _WIN32
  return MoveFileExW(extendedPath(from).c_str(), extendedPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from, to) == 0;
#endif
}

void removeFile(const char* path) {
#ifdef _WIN32
  DeleteFileW(extendedPath(path).c_str());
#else
  std::remove(path);
#endif
}

}  // namespace platform
