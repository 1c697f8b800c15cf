// Helpers shared by the libFuzzer harnesses. The product code throws nothing: only the harness's
// fatal hook throws FatalExit, so that a legitimate fatal error (which would end the brain with
// exit code 0) unwinds back into the harness instead of ending it.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "log/log.h"

namespace fuzzing {

struct FatalExit {};

// Stops the run with a message where an invariant breaks.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

inline void installFatalHook() {
  setFatalExitHook([] { throw FatalExit{}; });
}

// A fresh folder under the system's temporary folder, for the whole run.
inline std::string makeTempFolder(const char* tag) {
  std::error_code ignored;
  std::string pattern =
      (std::filesystem::temp_directory_path(ignored) / (std::string("velmaro-") + tag + "-XXXXXX"))
          .string();
  FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
  return pattern;
}

inline void clearFolder(const std::string& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
    std::filesystem::remove_all(entry.path(), ignored);
}

}  // namespace fuzzing
