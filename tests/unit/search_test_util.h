// Helpers of the search tests: positions drawn as text, one engine object
// per suite, squares by coordinates, and an injectable clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "search/brain.h"

namespace velm::search_test {

// Plays a position drawn as text onto the board of `b`: each string is a row
// (y grows downwards), 'X' a stone of side 0, 'O' a stone of side 1, any
// other character an empty square; the top-left character lies on (ox, oy).
// Stones are played through makeGameMove, X and O alternating, each side's
// stones in reading order, so the drawing must hold as many X as O (side 0
// to move after it) or one X more (side 1 to move).
inline void playDiagram(VelmBrain& b, const std::vector<std::string>& rows, int ox = 0,
                        int oy = 0) {
  std::vector<std::pair<int, int>> stones[2];
  for (int r = 0; r < static_cast<int>(rows.size()); r++) {
    for (int c = 0; c < static_cast<int>(rows[r].size()); c++) {
      if (rows[r][c] == 'X') stones[0].push_back({ox + c, oy + r});
      if (rows[r][c] == 'O') stones[1].push_back({ox + c, oy + r});
    }
  }
  const size_t nx = stones[0].size(), no = stones[1].size();
  ASSERT_TRUE(nx == no || nx == no + 1) << "X " << nx << " O " << no;
  for (size_t i = 0; i < nx; i++) {
    b.makeGameMove(stones[0][i].first, stones[0][i].second);
    if (i < no) b.makeGameMove(stones[1][i].first, stones[1][i].second);
  }
}

// A settable clock for the time account (the engine takes a plain function).
struct FakeClock {
  static inline int now = 0;
  static inline int reads = 0;
  static int read() {
    reads++;
    return now;
  }
  static void reset(int t) {
    now = t;
    reads = 0;
  }
};

// The engine object is about 200 MB: one per suite, on the heap.
class SearchSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { brain_ = std::make_unique<VelmBrain>(); }
  static void TearDownTestSuite() { brain_.reset(); }
  static inline std::unique_ptr<VelmBrain> brain_;

  // Every test starts from a fresh 15x15 game with the player's parameters
  // minus the memory (no file is touched), on the real clock.
  void SetUp() override { newGame(15, 15); }

  void newGame(int width, int height, unsigned options = kOptionRichEval) {
    VelmBrain& e = *brain_;
    e.options = options;
    e.timeoutTurn = kDefaultTimeoutTurn;
    e.timeoutMatch = kDefaultTimeoutMatch;
    e.branchFactor = kDefaultBranchFactor;
    e.maxDepth = 24;
    e.minDepth = kDefaultMinDepth;
    e.requestStart = -1;
    e.clock = platform::monotonicMs;
    e.init(width, height);
  }

  VelmBrain& b() { return *brain_; }
  int sq(int x, int y) { return brain_->sqIndex[x][y]; }
  void draw(const std::vector<std::string>& rows, int ox = 0, int oy = 0) {
    playDiagram(*brain_, rows, ox, oy);
  }
};

}  // namespace velm::search_test
