#include "platform/output.h"

#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::mutex& outputMutex() {
  // Never destroyed: a thread may still write while the process ends.
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

}  // namespace

void writeOutputLine(const char* text) {
  std::lock_guard<std::mutex> lock(outputMutex());
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace platform
