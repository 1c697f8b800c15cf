#include "log/log.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/filesystem.h"
#include "platform/output.h"
#include "platform/process.h"

namespace {

std::FILE* fp_log = nullptr;

constexpr const char* kLogFileName = "velmaro.log";
constexpr const char* kErrorPrefix = "Error: ";

FatalExitHook fatalExit = platform::exitProcess;

}  // namespace

bool log_init(const char* folder) {
  std::string path = std::string(folder) + kLogFileName;
  log_close();
  fp_log = platform::openFile(path.c_str(), "a");
  return fp_log != nullptr;
}

void log_write(const char* text) {
  if (fp_log == nullptr) return;
  std::fprintf(fp_log, "%s\n", text);
  std::fflush(fp_log);
}

void log_close() {
  if (fp_log == nullptr) return;
  std::fclose(fp_log);
  fp_log = nullptr;
}

void erro(const char* message) {
  // The first fatal error wins; a second thread meeting one waits here
  // until the process is gone.
  static std::mutex* once = new std::mutex;
  once->lock();
  std::string line = std::string(kErrorPrefix) + message;
  log_write(line.c_str());
  platform::writeOutputLine(line.c_str());
  log_close();
  if (fatalExit != platform::exitProcess) {
    // A harness's hook may return into the harness instead of ending.
    once->unlock();
    fatalExit();
  }
  platform::exitProcess();
}

void setFatalExitHook(FatalExitHook hook) {
  fatalExit = hook != nullptr ? hook : platform::exitProcess;
}
