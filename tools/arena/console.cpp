#include "console.h"

#include <cstdio>

namespace arena {

namespace {

// Back to the start of the line and clear it (ANSI "erase in line").
constexpr const char* kClearLine = "\r\033[K";

}  // namespace

void Console::line(const std::string& text) {
  if (statusShown) std::fputs(kClearLine, stdout);
  statusShown = false;
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

void Console::status(const std::string& text) {
  if (inPlace) {
    std::printf("%s%s", kClearLine, text.c_str());
    statusShown = true;
  } else {
    std::printf("%s\n", text.c_str());
  }
  std::fflush(stdout);
}

void Console::close() {
  if (statusShown) std::fputs("\n", stdout);
  statusShown = false;
  std::fflush(stdout);
}

}  // namespace arena
