#include "interrupts.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "child_process.h"

namespace arena {

namespace {

// A second Ctrl-C, or a SIGTERM, means "stop now".
constexpr int kCancellingCount = 2;

std::atomic<int> presses{0};
std::atomic<bool> cancelled{false};
std::atomic<bool> firstCancels{false};
int cancelPipe[2] = {-1, -1};

void onSignal(int signal) {
  const int count = signal == SIGTERM ? presses.fetch_add(kCancellingCount) + kCancellingCount
                                      : presses.fetch_add(1) + 1;
  if (count >= kCancellingCount || firstCancels.load()) cancelRunningGames();
}

}  // namespace

bool installInterruptHandlers() {
  if (pipe2(cancelPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  tools::ChildProcess::setCancelDescriptor(cancelPipe[0]);
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  return true;
}

void cancelOnFirstInterrupt() {
  // Set before looking: a signal in between is seen by one or the other.
  firstCancels.store(true);
  if (presses.load() > 0) cancelRunningGames();
}

int interruptCount() {
  return presses.load();
}

int cancelDescriptor() {
  return cancelPipe[0];
}

void cancelRunningGames() {
  if (cancelled.exchange(true)) return;
  const char byte = 1;
  // The pipe is empty, so one byte always fits; it is never read.
  [[maybe_unused]] const ssize_t written = write(cancelPipe[1], &byte, 1);
}

bool gamesCancelled() {
  return cancelled.load();
}

}  // namespace arena
