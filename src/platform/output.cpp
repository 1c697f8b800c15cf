#include "platform/output.h"

#include <cstdio>
#include <mutex>

#include "platform/process.h"

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
  bool written = std::fputs(text, stdout) >= 0;
  written = std::fputc('\n', stdout) != EOF && written;
  written = std::fflush(stdout) == 0 && written;
  if (!written) exitProcess();
}

}  // namespace platform
