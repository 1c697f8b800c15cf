#include "platform/clock.h"

#include <chrono>

namespace platform {

int monotonicMs() {
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point origin = Clock::now();
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - origin).count());
}

}  // namespace platform
