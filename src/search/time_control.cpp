// Time control: the engine's own account of the game time, the soft limit
// that decides whether another iteration starts, and the hard limit at which
// a running search is cut off. All readings come from `clock`.
#include <climits>

#include "search/brain.h"

namespace velm {

// The hard limit is a fifth of the time left; the soft limit spreads the time
// left over movesToGo moves, which never falls below this floor.
constexpr int kHardLimitDivisor = 5;
constexpr int kMovesToGoFloor = 5;

void VelmBrain::initTime() {
  timeLeft = timeoutMatch;
  timeMargin = kDefaultTimeMargin;
  movesToGo = kInitialMovesToGo;
  checkInterval = kDefaultCheckInterval;
  checkCountdown = kDefaultCheckInterval;
}

void VelmBrain::startTime() {
  // Step 1. The move starts when the request arrived, if the front end noted it.
  const int t = requestStart >= 0 ? requestStart : clock();
  moveStart = t;
  iterStart = t;
  nodeBudgetUsed = 0;
  // Step 2. The time left: the engine's own account, or the manager's clock
  // when it says less (it may have charged more than this decision took).
  int left = timeLeft;
  if (managerTimeLeft >= 0 && managerTimeLeft < left) left = managerTimeLeft;
  // Step 3. Soft limit.
  softLimit = left / movesToGo;
  if (softLimit > timeoutTurn) softLimit = timeoutTurn;
  // Step 4. Hard limit.
  hardLimit = hardLimitFor(left);
}

void VelmBrain::stopTime() {
  // The account may run negative when a decision overspends, but it must not
  // wrap: a manager may have announced a negative match time after the
  // game's start was checked, and the next decision must still see no time.
  const long long left = static_cast<long long>(timeLeft) - (clock() - moveStart);
  timeLeft = left < INT_MIN ? INT_MIN : static_cast<int>(left);
  if (movesToGo > kMovesToGoFloor) movesToGo--;
}

bool VelmBrain::timeOut(int factor) {
  const int spent = elapsedTime();
  const int iteration = elapsedIte();
  iterStart = clock();
  return spent + factor * iteration > softLimit;
}

bool VelmBrain::timeOver() {
  if (nodeLimit != 0 && ++nodeBudgetUsed >= nodeLimit) return true;
  if (--checkCountdown > 0) return false;
  checkCountdown = checkInterval;
  if (stopRequest != nullptr && stopRequest->load(std::memory_order_relaxed)) return true;
  return clock() - moveStart + timeMargin >= hardLimit;
}

int VelmBrain::hardLimitFor(int left) const {
  const int byMatch = left / kHardLimitDivisor;
  return byMatch < timeoutTurn ? byMatch : timeoutTurn;
}

int VelmBrain::firstMoveLimit() const {
  const bool managerSaysLess = managerTimeLeft >= 0 && managerTimeLeft < timeoutMatch;
  return hardLimitFor(managerSaysLess ? managerTimeLeft : timeoutMatch);
}

int VelmBrain::elapsedTime() const {
  return clock() - moveStart;
}

int VelmBrain::elapsedIte() const {
  return clock() - iterStart;
}

}  // namespace velm
