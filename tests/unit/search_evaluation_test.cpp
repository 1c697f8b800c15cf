// Static evaluation: settled positions, the weighted counts, and the cache
// entries of forced lines.
#include <cstring>

#include "search_test_util.h"

namespace velm::search_test {
namespace {

class EvaluationTest : public SearchSuite {};

TEST_F(EvaluationTest, EmptyBoardIsWorthNothing) {
  EXPECT_EQ(b().boardValueBase(), 0);
  EXPECT_EQ(b().boardValueRico(), 0);
}

TEST_F(EvaluationTest, WeightsOfTheTwoEvaluationsDiffer) {
  // Only one open-three pair of the side to move and one four pair of the
  // other side: base 242 - 400, rich 2 * 242 - 480.
  std::memset(&b().counts, 0, sizeof b().counts);
  b().counts.patCount[0][patOpenThree] = 1;
  b().counts.patCount[1][patFour] = 1;
  b().key = 0x1234567890ULL;  // a key no cache slot holds
  EXPECT_EQ(b().boardValueBase(), -158);
  EXPECT_EQ(b().boardValueRico(), 4);
}

TEST_F(EvaluationTest, OwnFiveWins) {
  draw({"OXXXX", "", ".OO..O"}, 2, 7);
  EXPECT_EQ(b().boardValueBase(), winScore);
  EXPECT_EQ(b().boardValueRico(), winScore);
}

TEST_F(EvaluationTest, TwoOpponentFivesLose) {
  draw({"X.............X", "", "", "", "", "", "", "", "", "...OOOO", "", "", "", "",
        "X.............X"});
  EXPECT_EQ(b().boardValueBase(), -winScore);
  EXPECT_EQ(b().boardValueRico(), -winScore);
}

TEST_F(EvaluationTest, OwnOpenFourSquareWins) {
  draw({".....XXX", "", "", "", "", "", "..O...O..O"}, 0, 3);
  EXPECT_EQ(b().boardValueBase(), winScore);
  EXPECT_EQ(b().boardValueRico(), winScore);
}

TEST_F(EvaluationTest, ForcedBlockThatMakesAnOpenFourIsAProvenWin) {
  // O's closed four (8,1..4) is blocked at (8,5), where X's three (5..7,5)
  // becomes an open four.
  draw({"........X",   // y=0
        "........O",   //
        "........O",   //
        "........O",   //
        "........O",   //
        ".....XXX"});  // y=5
  EXPECT_EQ(b().boardValueBase(), winScore);
  const std::uint64_t root = b().key;
  EXPECT_EQ(b().boardValueRico(), winScore);
  EXPECT_EQ(b().key, root);
  EXPECT_EQ(b().retriveTT0(), winScore);
  const TTEntry* e = b().retriveTT();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->value, winScore);
  EXPECT_EQ(e->bound, BOUND_EXACT);
  EXPECT_EQ(e->depth, UNLIMITED);
  EXPECT_EQ(e->fullDepth, UNLIMITED);
  EXPECT_EQ(e->move, -1);
  // The position after the block is stored as lost for O.
  b().makeMove(sq(8, 5));
  EXPECT_EQ(b().retriveTT0(), -winScore);
  b().undoMove();
}

TEST_F(EvaluationTest, CachedValueIsReturnedAsStored) {
  draw({"XO", "OX", ".X"}, 6, 6);
  const int v = b().boardValueRico();
  EXPECT_EQ(b().retriveTT0(), v);
  b().storeTT0(777);
  EXPECT_EQ(b().boardValueRico(), 777);
  EXPECT_EQ(b().boardValue(), 777);
  b().options = 0;
  EXPECT_EQ(b().boardValue(), b().boardValueBase());
}

}  // namespace
}  // namespace velm::search_test
