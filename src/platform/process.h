// Ending the process. Every end of the brain has exit code 0. The worker
// thread may be running at that moment, so no static destructor or exit
// handler runs: standard output is flushed and the process stops at once.
// Whoever owns a file closes or completes it before calling this.
#pragma once

namespace platform {

[[noreturn]] void exitProcess();

// Writing to a pipe whose reader has gone then fails with an error instead
// of ending the process through a signal (SIGPIPE, where there is one).
void ignoreBrokenPipe();

}  // namespace platform
