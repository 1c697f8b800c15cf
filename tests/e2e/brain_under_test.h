// Which brain the end-to-end tests drive, and how it names host folders.
// The same tests run against the Linux brain and, under Wine, against the
// Windows brain, which sees the host's root folder as drive Z:.
#pragma once

#include <string>

namespace testing_support {

inline std::string brainPath(const std::string& hostPath) {
#ifdef VELMARO_WINE
  std::string windows = "Z:" + hostPath;
  for (char& c : windows)
    if (c == '/') c = '\\';
  return windows;
#else
  return hostPath;
#endif
}

}  // namespace testing_support
