#include "platform/process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace platform {

void exitProcess() {
  std::fflush(stdout);
  std::_Exit(0);
}

void ignoreBrokenPipe() {
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace platform
