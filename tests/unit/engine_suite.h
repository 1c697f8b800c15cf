// Helpers of the unit tests: one engine object per suite (it is about
// 200 MB), positions as move lists, a settable clock, and the board's own
// consistency check as an assertion.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "platform/clock.h"
#include "search/brain.h"

namespace velm::test {

inline std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A settable clock for the time account (the engine takes a plain function).
struct FakeClock {
  static inline int now = 0;
  static inline int reads = 0;
  static int read() { return reads++, now; }
};

class EngineSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { engine = new VelmBrain; }
  static void TearDownTestSuite() { delete engine; }
  static inline VelmBrain* engine = nullptr;

  // Every test starts a 15x15 game with the player's parameters minus the
  // game memory (no file is touched), on the real clock.
  void SetUp() override { newGame(15); }
  void newGame(int width, unsigned options = kOptionRichEval, int height = 0) {
    VelmBrain& e = *engine;
    e.options = options;
    e.timeoutTurn = kDefaultTimeoutTurn;
    e.timeoutMatch = kDefaultTimeoutMatch;
    e.branchFactor = kDefaultBranchFactor;
    e.maxDepth = 24;
    e.minDepth = kDefaultMinDepth;
    e.requestStart = e.managerTimeLeft = -1;
    e.nodeLimit = 0;
    e.clock = platform::monotonicMs;
    e.init(width, height > 0 ? height : width);
  }
  VelmBrain& b() { return *engine; }
  int sq(int x, int y) { return engine->sqIndex[x][y]; }
  // The squares of "x,y x,y ...", and playing them in that order.
  std::vector<int> squares(const char* text) {
    std::vector<int> list;
    for (int x, y, n; std::sscanf(text, " %d,%d%n", &x, &y, &n) == 2; text += n)
      list.push_back(sq(x, y));
    return list;
  }
  void play(const char* moves) {
    for (int s : squares(moves)) engine->makeGameMove(engine->sqX[s], engine->sqY[s]);
  }
  // The board's own consistency check, with its reason.
  ::testing::AssertionResult consistent() {
    char why[256] = "";
    if (engine->verifyBoard(why, sizeof why)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why;
  }
};

}  // namespace velm::test
