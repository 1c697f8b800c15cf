// EngineParams: what the engine's owner (the player) decides about the
// search: options, limits, the clock and the stop signal.
//
// The owner writes them between decisions; the search only reads them, through
// the const reference each worker is built with. timeoutMatch, options bits
// 0 and 11 and branchFactor take effect at the next game, the others at the
// next decision.
#pragma once

#include <atomic>
#include <cstdint>

#include "search/tables.h"

namespace velm {

// Bits of `options`.
constexpr unsigned kOptionMemory = 1u << 0;        // use the game memory
constexpr unsigned kOptionRichEval = 1u << 1;      // leaves by boardValueRico
constexpr unsigned kOptionRadiusReply = 1u << 2;   // radius rule for the 2nd stone
constexpr unsigned kOptionFixedGrowth = 1u << 4;   // always stop rule factor 40
constexpr unsigned kOptionThreatsOnly = 1u << 11;  // threat-only lists past horizon

// Default engine parameters.
constexpr int kDefaultTimeoutTurn = 30000;
constexpr int kDefaultTimeoutMatch = 180000;
constexpr int kDefaultBranchFactor = 8;
constexpr int kDefaultMaxDepth = 20;
static_assert(kDefaultMaxDepth <= kTableDepthReach);
constexpr int kDefaultMinDepth = 2;

// What the main worker of a decision says of each iteration it completes.
struct IterationInfo {
  int depth;
  int move;   // the best root move (a square)
  int score;  // its score
  // Nodes of every worker of the decision, and the time since it started.
  std::uint64_t nodes;
  int timeMs;
  // The principal variation, from the best root move on: moves the search
  // played one after the other from the decision's position.
  const int* pv;
  int pvLength;
};

// How a decision chose its move.
enum class DecisionSource {
  kOpening,  // the opening rules
  kForced,   // the only answer of the threat analysis: a five, a block, a loss
  kSearch,   // the deepening
};

// What a decision says when it ends: its move and how it was chosen, with
// the deepest iteration behind it (0 without a search).
struct DecisionInfo {
  int move;
  DecisionSource source;
  int depth;
};

struct EngineParams {
  unsigned options = 0;
  int timeoutTurn = kDefaultTimeoutTurn;    // ms per move
  int timeoutMatch = kDefaultTimeoutMatch;  // ms per game
  int branchFactor = kDefaultBranchFactor;  // list size past the full-width horizon
  int maxDepth = kDefaultMaxDepth;  // at most kTableDepthReach: the table keeps depths that far
  int minDepth = kDefaultMinDepth;
  // When >= 0, the clock reading taken when the move request arrived: the
  // decision starts then, so that time spent before it (creating the
  // player) counts against the turn. Set before a decision, -1 after.
  int requestStart = -1;
  // When >= 0, the manager's own figure of the time left in the game for
  // the move about to be decided: its clock is the one that counts, so the
  // limits follow from the smaller of it and the engine's account. Set
  // like requestStart.
  int managerTimeLeft = -1;
  // A work budget per decision, 0 for none: every time check (search nodes
  // and forced-line steps alike) spends one unit, and a spent budget stops
  // the decision as the hard time limit does. Harnesses set it to get
  // decisions of bounded work whatever the clock says.
  std::uint64_t nodeLimit = 0;
  // With a work budget: whether the iteration tests (another iteration?
  // narrower lists?) weigh work units against the budget instead of
  // milliseconds against the soft limit, so that the same budget gives the
  // same decision on any machine, under any load. The hard time limit
  // still holds.
  bool workClock = false;
  // The clock of the time account, in milliseconds; tests inject their own.
  int (*clock)() = nullptr;
  // When it reads true the decision must end now (the manager ends the
  // game): read at every clock reading, it stops the search as the hard
  // limit does. Null: never.
  const std::atomic<bool>* stopRequest = nullptr;
  // Hear of every iteration a decision completes, and of the decision's
  // end, on the decision's thread, with `listenerContext`; null: nobody
  // listens (and the decision reads no clock for them).
  void (*iterationListener)(void* context, const IterationInfo& info) = nullptr;
  void (*decisionListener)(void* context, const DecisionInfo& info) = nullptr;
  void* listenerContext = nullptr;
};

}  // namespace velm
