// A five square that the board's record no longer names. The record of five
// squares holds only those met by the last move; an opponent that leaves its
// own five open and makes another can leave the record naming an occupied
// square once the second is blocked. The engine must still answer the real
// five square, never a stone.
#include <gtest/gtest.h>

#include <memory>

#include "search/brain.h"

namespace {

using velm::VelmBrain;

class StaleFive : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    engine = new VelmBrain;
    engine->options = velm::kOptionRichEval;  // no game memory: no files
  }
  static void TearDownTestSuite() {
    delete engine;
    engine = nullptr;
  }
  static VelmBrain* engine;

  // X (side 0) makes a four on row 0 and leaves its five at (4,0) open, then
  // a four on row 5 (five at (4,5)); O answers far away, then blocks (4,5);
  // X plays elsewhere. O is to move and must block (4,0).
  void playPosition() {
    VelmBrain& b = *engine;
    b.init(15, 15);
    const int xs[][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 5}, {1, 5}, {2, 5}, {3, 5}};
    const int os[][2] = {{14, 0}, {14, 3}, {14, 6}, {14, 9}, {14, 12}, {11, 14}, {8, 14}};
    for (int i = 0; i < 7; i++) {
      b.makeGameMove(xs[i][0], xs[i][1]);
      b.makeGameMove(os[i][0], os[i][1]);
    }
    b.makeGameMove(xs[7][0], xs[7][1]);
    b.makeGameMove(4, 5);   // O blocks the newer five
    b.makeGameMove(9, 10);  // X ignores its other five once more
  }
};

VelmBrain* StaleFive::engine = nullptr;

TEST_F(StaleFive, TheForcedBlockIsTheRealFiveSquare) {
  playPosition();
  VelmBrain& b = *engine;
  ASSERT_EQ(b.counts.patCount[0][velm::patFive], 1);
  int list[velm::kReplyListCapacity];
  int score = -1;
  ASSERT_EQ(b.winAndForced(list, score), 1);
  EXPECT_EQ(list[0], b.sqIndex[4][0]);
  EXPECT_EQ(score, 0);
  int x = -1, y = -1;
  b.thinkMove(x, y);
  EXPECT_EQ(x, 4);
  EXPECT_EQ(y, 0);
}

TEST_F(StaleFive, TheEvaluationBlocksTheRealFiveSquare) {
  playPosition();
  VelmBrain& b = *engine;
  const int movesBefore = b.moveCount;
  const std::uint64_t keyBefore = b.key;
  b.boardValueBase();
  EXPECT_EQ(b.moveCount, movesBefore);
  EXPECT_EQ(b.key, keyBefore);
  char why[256] = "";
  EXPECT_TRUE(b.verifyBoard(why, sizeof why)) << why;
}

}  // namespace
