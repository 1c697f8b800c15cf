#include "platform/event.h"

#include <chrono>
#include <thread>

namespace platform {

void Event::set() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    signalled = true;
  }
  if (manual) {
    changed.notify_all();
  } else {
    changed.notify_one();
  }
}

void Event::reset() {
  std::lock_guard<std::mutex> lock(mutex);
  signalled = false;
}

void Event::wait() {
  std::unique_lock<std::mutex> lock(mutex);
  changed.wait(lock, [this] { return signalled; });
  if (!manual) signalled = false;
}

bool Event::waitFor(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex);
  if (!changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled; }))
    return false;
  if (!manual) signalled = false;
  return true;
}

void startWorkerThread(void (*body)()) {
  std::thread worker([body] {
    for (;;) body();
  });
  worker.detach();
}

}  // namespace platform
