// The square sets and cross indices that the board keeps beside its flags
// and codes: the 5x5 blocks as bits, the sets after makes and undos, and
// verifyBoard noticing a set or an index that disagrees.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "board/board.h"
#include "board_test_util.h"

namespace velm {
namespace {

using BoardSets = test::BoardSuite;

std::string reason(const VelmBoard& b) {
  char why[256] = "";
  return b.verifyBoard(why, sizeof why) ? "" : why;
}

TEST_F(BoardSets, NearBitsHoldTheNearSquaresInTheirOrder) {
  const int sizes[][2] = {{15, 15}, {20, 20}, {10, 15}, {5, 5}, {7, 13}};
  for (const auto& size : sizes) {
    b().init(size[0], size[1]);
    for (int s = 0; s < b().numSquares; s++) {
      std::vector<int> fromBits;
      for (int k = 0; k < kNearWords; k++)
        forEachBit(b().nearBits[s][k], b().nearWord[s] + k, [&](int n) { fromBits.push_back(n); });
      const std::vector<int> fromList(b().near[s], b().near[s] + b().nearCount[s]);
      ASSERT_EQ(fromBits, fromList) << size[0] << "x" << size[1] << " square " << s;
    }
  }
}

// Random walks of makes and undos over candidate squares: after every step
// the sets and cross indices agree with the stones and codes (verifyBoard
// checks them), and the walks reach positions with four squares.
TEST_F(BoardSets, SetsFollowMakesAndUndos) {
  const int shapes[][3] = {{15, 15, 11}, {20, 20, 12}, {6, 6, 13}};
  int fourPositions = 0;
  for (const auto& shape : shapes) {
    std::mt19937 rng(shape[2]);
    b().init(shape[0], shape[1]);
    b().makeMove(b().sqIndex[shape[0] / 2][shape[1] / 2]);
    for (int step = 0; step < 600 && b().moveCount < b().numSquares; step++) {
      if (b().moveCount > 1 && rng() % 10 < 3) {
        b().undoMove();
        ASSERT_EQ(reason(b()), "") << "after undo to " << b().moveCount << " moves";
        continue;
      }
      const int sq = test::randomCandidate(b(), rng);
      ASSERT_GE(sq, 0);
      b().makeMove(sq);
      ASSERT_EQ(reason(b()), "") << "after move " << b().moveCount;
      for (int side = 0; side < 2; side++)
        for (std::uint64_t w : b().fourSquares[side].word) fourPositions += w != 0;
    }
  }
  EXPECT_GT(fourPositions, 0);
}

TEST_F(BoardSets, VerifyBoardNoticesASetOrIndexThatDisagrees) {
  b().init(15, 15);
  play(7, 7);
  play(8, 8);
  play(7, 8);
  play(9, 9);
  play(7, 9);  // side 0 has three in a column: squares with fours nearby
  play(0, 0);
  ASSERT_EQ(reason(b()), "");

  const int empty = sq(3, 12);  // far from every stone: no candidate
  b().candSquares.flip(empty);
  EXPECT_NE(reason(b()).find("candidate set"), std::string::npos);
  b().candSquares.flip(empty);

  b().stoneSquares.flip(empty);
  EXPECT_NE(reason(b()).find("stone set"), std::string::npos);
  b().stoneSquares.flip(empty);

  b().fourSquares[1].flip(empty);
  EXPECT_NE(reason(b()).find("four set of side 1"), std::string::npos);
  b().fourSquares[1].flip(empty);

  b().squares[sq(7, 10)].cross[0] += 1;
  EXPECT_NE(reason(b()).find("cross index of (7,10) side 0"), std::string::npos);
  b().squares[sq(7, 10)].cross[0] -= 1;
  EXPECT_EQ(reason(b()), "");
}

TEST_F(BoardSets, FourSquaresAreTheEmptySquaresWithAFourCode) {
  b().init(15, 15);
  play(7, 7);
  play(0, 0);
  play(7, 8);
  play(0, 2);
  play(7, 9);  // side 0: three in column 7, open at both ends
  // Side 0 makes a four on (7,5), (7,6), (7,10) and (7,11); nothing else.
  std::vector<int> fours;
  forEachBit(b().fourSquares[0].word[0], 0, [&](int n) { fours.push_back(n); });
  for (int w = 1; w < kSquareWords; w++)
    forEachBit(b().fourSquares[0].word[w], w, [&](int n) { fours.push_back(n); });
  EXPECT_EQ(fours, (std::vector<int>{sq(7, 5), sq(7, 6), sq(7, 10), sq(7, 11)}));
  for (std::uint64_t w : b().fourSquares[1].word) EXPECT_EQ(w, 0u);
  // A stone on one of them takes it out of the set; undo puts it back.
  play(7, 10);
  EXPECT_FALSE(b().fourSquares[0].contains(sq(7, 10)));
  b().undoMove();
  EXPECT_TRUE(b().fourSquares[0].contains(sq(7, 10)));
}

}  // namespace
}  // namespace velm
