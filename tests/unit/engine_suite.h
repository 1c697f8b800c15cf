// One engine object per suite (about 140 MB with its tables), and what the tests do with it.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "platform/clock.h"
#include "search/brain.h"

namespace velm {

// Write access to a board's state, for tests that corrupt it on purpose or set counts by hand.
struct BoardProbe {
  static VelmBoard& writable(const VelmBoard& b) { return const_cast<VelmBoard&>(b); }
  static BoardSquare& square(const VelmBoard& b, int sq) { return writable(b).squares[sq]; }
  static CountBlock& counts(const VelmBoard& b) { return writable(b).counts_; }
  static SquareSet& candSquares(const VelmBoard& b) { return writable(b).candSquares_; }
  static std::uint64_t& key(const VelmBoard& b) { return writable(b).key_; }
  static int& sideToMove(const VelmBoard& b) { return writable(b).sideToMove_; }
  static UndoRecord& record(const VelmBoard& b, int k) { return writable(b).undoStack[k]; }
};

namespace test {

// A settable clock for the time account (the engine takes a plain function).
struct FakeClock {
  static inline int now = 0, reads = 0;
  static int read() { return reads++, now; }
};

class EngineSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { engine = new VelmBrain; }
  static void TearDownTestSuite() { delete engine; }
  static inline VelmBrain* engine = nullptr;

  // Every test starts a 15x15 game with the player's parameters minus the game memory (no
  // file is touched), on the real clock.
  void SetUp() override { newGame(15); }
  void newGame(int width, unsigned options = kOptionRichEval, int height = 0) {
    engine->params = {.options = options, .maxDepth = 24, .clock = platform::monotonicMs};
    engine->init(width, height > 0 ? height : width);
  }
  VelmBrain& b() { return *engine; }
  SearchWorker& w() { return engine->worker; }
  const VelmBoard& board() { return engine->board(); }
  int sq(int x, int y) { return board().sqIndex(x, y); }
  std::vector<int> squares(const char* text) {  // of "x,y x,y ..."
    std::vector<int> list;
    for (int x, y, n; std::sscanf(text, " %d,%d%n", &x, &y, &n) == 2; text += n)
      list.push_back(sq(x, y));
    return list;
  }
  std::vector<int> candidates() {
    std::vector<int> list;
    for (int s = 0; s < board().numSquares(); s++)
      if (board().isCandidate(s)) list.push_back(s);
    return list;
  }
  void play(const char* moves) {  // in the order of the list
    for (int s : squares(moves)) engine->makeGameMove(board().sqX(s), board().sqY(s));
  }
  ::testing::AssertionResult consistent() {  // the board's own check, with its reason
    char why[256] = "";
    if (board().verifyBoard(why, sizeof why)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why;
  }
};

}  // namespace test
}  // namespace velm
