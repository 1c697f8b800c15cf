// Event: a binary signal between the command loop and the worker thread.
//
// An auto-reset event releases exactly one waiter per set() and clears itself
// when that waiter wakes; a manual-reset event stays set until reset(), so
// every waiter passes while it is set. Both may be used from any thread; the
// state is guarded by the event's own mutex. Events live for the whole
// process and are never destroyed while a thread waits on them (the process
// ends through exitProcess(), which runs no destructors).
#pragma once

#include <condition_variable>
#include <mutex>

namespace platform {

class Event {
 public:
  Event(bool manualReset, bool initiallySet) : manual(manualReset), signalled(initiallySet) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  // Blocks without a time limit until the event is set.
  void wait();
  // Waits at most timeoutMs; true when the event was set. For tests.
  bool waitFor(int timeoutMs);

 private:
  std::mutex mutex;
  std::condition_variable changed;
  const bool manual;
  bool signalled;
};

// Starts a detached thread that runs body() for the life of the process.
void startWorkerThread(void (*body)());

}  // namespace platform
