// Time control: the engine's own account of the game time, the soft limit
// that decides whether another iteration starts, and the hard limit at which
// a running search is cut off. All readings come from the params' clock.
#include "search/time_control.h"

#include <climits>

namespace velm {

// The hard limit is a fifth of the time left; the soft limit spreads the time
// left over movesToGo moves, which never falls below this floor.
constexpr int kHardLimitDivisor = 5;
constexpr int kMovesToGoFloor = 5;

int hardLimitFor(int left, int timeoutTurn) {
  const int byMatch = left / kHardLimitDivisor;
  return byMatch < timeoutTurn ? byMatch : timeoutTurn;
}

int firstMoveLimit(const EngineParams& params) {
  const bool managerSaysLess =
      params.managerTimeLeft >= 0 && params.managerTimeLeft < params.timeoutMatch;
  return hardLimitFor(managerSaysLess ? params.managerTimeLeft : params.timeoutMatch,
                      params.timeoutTurn);
}

void TimeAccount::initTime() {
  timeLeft = params.timeoutMatch;
  timeMargin = kDefaultTimeMargin;
  movesToGo = kInitialMovesToGo;
  checkInterval = kDefaultCheckInterval;
  checkCountdown = kDefaultCheckInterval;
}

void TimeAccount::startTime() {
  // Step 1. The move starts when the request arrived, if the front end noted it.
  const int t = params.requestStart >= 0 ? params.requestStart : params.clock();
  moveStart = t;
  iterStart = t;
  nodeBudgetUsed = 0;
  iterStartUnits = 0;
  // Step 2. The time left: the engine's own account, or the manager's clock
  // when it says less (it may have charged more than this decision took).
  int left = timeLeft;
  if (params.managerTimeLeft >= 0 && params.managerTimeLeft < left) left = params.managerTimeLeft;
  // Step 3. Soft limit.
  softLimit = left / movesToGo;
  if (softLimit > params.timeoutTurn) softLimit = params.timeoutTurn;
  // Step 4. Hard limit.
  hardLimit = hardLimitFor(left, params.timeoutTurn);
}

void TimeAccount::stopTime() {
  // The account may run negative when a decision overspends, but it must not
  // wrap: a manager may have announced a negative match time after the
  // game's start was checked, and the next decision must still see no time.
  const long long left = static_cast<long long>(timeLeft) - (params.clock() - moveStart);
  timeLeft = left < INT_MIN ? INT_MIN : static_cast<int>(left);
  if (movesToGo > kMovesToGoFloor) movesToGo--;
}

bool TimeAccount::timeOut(int factor) {
  if (params.workClock && params.nodeLimit != 0) {
    const std::uint64_t iteration = nodeBudgetUsed - iterStartUnits;
    iterStartUnits = nodeBudgetUsed;
    return nodeBudgetUsed + static_cast<std::uint64_t>(factor) * iteration > params.nodeLimit;
  }
  const int spent = elapsedTime();
  const int iteration = elapsedIte();
  iterStart = params.clock();
  return spent + factor * iteration > softLimit;
}

bool TimeAccount::timeOver() {
  if (params.nodeLimit != 0 && ++nodeBudgetUsed >= params.nodeLimit) return true;
  if (--checkCountdown > 0) return false;
  checkCountdown = checkInterval;
  // A helper looks at the main worker's stop as often as the main worker
  // looks at its clock.
  if (stopSignal != nullptr) return stopSignal->load(std::memory_order_relaxed);
  if (params.stopRequest != nullptr && params.stopRequest->load(std::memory_order_relaxed))
    return true;
  return params.clock() - moveStart + timeMargin >= hardLimit;
}

int TimeAccount::elapsedTime() const {
  return params.clock() - moveStart;
}

int TimeAccount::elapsedIte() const {
  return params.clock() - iterStart;
}

}  // namespace velm
