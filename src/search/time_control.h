// TimeAccount: a search worker's account of the game time, the soft limit
// that decides whether another iteration starts, and the hard limit at
// which a running search is cut off.
//
// The worker owns it; the limits come from the owner's EngineParams, read
// when a game starts (initTime) and when a decision starts (startTime). All
// readings come from the params' clock. timeOver() is the one check the
// search makes at every node and forced-line step: it spends the work
// budget, and reads the clock and the stop signal once per checkInterval
// calls.
#pragma once

#include <atomic>
#include <cstdint>

#include "search/params.h"

namespace velm {

constexpr int kDefaultTimeMargin = 50;
constexpr int kInitialMovesToGo = 15;
constexpr int kDefaultCheckInterval = 1000;

// The hard limit of a move made with `left` ms of the match time left under
// a turn limit of timeoutTurn.
int hardLimitFor(int left, int timeoutTurn);
// The hard limit of a game's first move: the whole match time left, or the
// manager's figure when it says less.
int firstMoveLimit(const EngineParams& params);

struct TimeAccount {
  explicit TimeAccount(const EngineParams& owner) : params(owner) {}

  // A new game: the whole match time.
  void initTime();
  // A decision starts: its limits.
  void startTime();
  // A decision ended: its time is charged.
  void stopTime();
  // Whether the iteration just ended, `factor` times over, no longer fits
  // in the soft limit; starts the next iteration's timing.
  bool timeOut(int factor);
  // Whether the decision must stop now (hard limit, work budget, stop
  // signal).
  bool timeOver();
  int elapsedTime() const;
  int elapsedIte() const;

  const EngineParams& params;
  // A helper's account has no time limits of its own: its decision ends
  // when this reads true (the main worker's stop), read where the main
  // worker reads its clock. Null for the main worker.
  const std::atomic<bool>* stopSignal = nullptr;
  int timeMargin = kDefaultTimeMargin;
  int hardLimit = 0;
  int softLimit = 0;
  int movesToGo = 50;
  int timeLeft = 0;
  int moveStart = 0;
  int iterStart = 0;
  int checkInterval = kDefaultCheckInterval;
  int checkCountdown = kDefaultCheckInterval;
  std::uint64_t nodeBudgetUsed = 0;  // units spent in this decision
  std::uint64_t iterStartUnits = 0;  // units spent when the iteration started
};

}  // namespace velm
