// Board geometry after init: indices, the empty board's keys, and the
// neighbourhood lists at the centre, the edges and the corners.
#include <gtest/gtest.h>
#include <unistd.h>

#include "board/board.h"
#include "board_test_util.h"

namespace velm {
namespace {

using Geometry = test::BoardSuite;

TEST_F(Geometry, EmptyBoardKeys) {
  b().init(15, 15);
  for (int d = 0; d < kDirections; d++) EXPECT_EQ(b().squares[sq(7, 7)].key[d], 0xAAAA) << d;
  const BoardSquare& corner = b().squares[sq(0, 0)];
  EXPECT_EQ(corner.key[0], 0xAAFF);
  EXPECT_EQ(corner.key[1], 0xAAFF);
  EXPECT_EQ(corner.key[2], 0xAAFF);
  EXPECT_EQ(corner.key[3], 0xFFFF);
  // One cell from the right edge: +2..+4 are off, -4..+1 on the board.
  EXPECT_EQ(b().squares[sq(13, 7)].key[0], 0xFEAA);
  // Every code of the empty board is 0, and nothing is a candidate.
  for (int s = 0; s < b().numSquares; s++) {
    EXPECT_EQ(b().squares[s].stone, kCellEmpty);
    EXPECT_FALSE(b().squares[s].candidate);
    for (int d = 0; d < kDirections; d++) {
      ASSERT_EQ(b().squares[s].pat[0][d], 0);
      ASSERT_EQ(b().squares[s].pat[1][d], 0);
      ASSERT_EQ(b().linePattern[b().squares[s].key[d]][0], 0);
    }
  }
  EXPECT_TRUE(test::boardConsistent(b()));
}

TEST_F(Geometry, NeighbourhoodSizes) {
  b().init(15, 15);
  EXPECT_EQ(b().affectedCount[sq(7, 7)], 32);
  EXPECT_EQ(b().affectedCount[sq(0, 0)], 12);
  EXPECT_EQ(b().affectedCount[sq(14, 14)], 12);
  EXPECT_EQ(b().nearCount[sq(7, 7)], 24);
  EXPECT_EQ(b().nearCount[sq(0, 0)], 8);
  EXPECT_EQ(b().nearCount[sq(1, 0)], 11);
  EXPECT_EQ(b().nearCount[sq(0, 7)], 14);
  // A 1 x 1 board has no neighbours at all.
  b().init(1, 1);
  EXPECT_EQ(b().affectedCount[0], 0);
  EXPECT_EQ(b().nearCount[0], 0);
}

TEST_F(Geometry, AffectedOrderMasksAndShifts) {
  b().init(15, 15);
  const AffectedEntry* list = b().affected[sq(7, 7)];
  const int xs[8] = {8, 9, 10, 11, 6, 5, 4, 3};
  const unsigned masks[8] = {0xFFFFFF3F, 0xFFFFFFCF, 0xFFFFFFF3, 0xFFFFFFFC,
                             0xFFFFFCFF, 0xFFFFF3FF, 0xFFFFCFFF, 0xFFFF3FFF};
  for (int i = 0; i < 8; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list[i].sq, sq(xs[i], 7));
    EXPECT_EQ(list[i].dir, 0);
    EXPECT_EQ(static_cast<unsigned>(list[i].mask), masks[i]);
  }
  // Then the columns, then the diagonals; (1,-1) runs down in y.
  EXPECT_EQ(list[8].sq, sq(7, 8));
  EXPECT_EQ(list[8].dir, 1);
  EXPECT_EQ(list[16].sq, sq(8, 8));
  EXPECT_EQ(list[16].dir, 2);
  EXPECT_EQ(list[24].sq, sq(8, 6));
  EXPECT_EQ(list[24].dir, 3);
  EXPECT_EQ(list[31].sq, sq(3, 11));

  // At the corner only the on-board squares are listed, in the same order.
  const AffectedEntry* corner = b().affected[sq(0, 0)];
  EXPECT_EQ(corner[0].sq, sq(1, 0));
  EXPECT_EQ(corner[3].sq, sq(4, 0));
  EXPECT_EQ(corner[4].sq, sq(0, 1));
  EXPECT_EQ(corner[4].dir, 1);
  EXPECT_EQ(corner[8].sq, sq(1, 1));
  EXPECT_EQ(corner[11].sq, sq(4, 4));
  EXPECT_EQ(corner[11].dir, 2);
}

// Each affected entry addresses exactly the cell that the square occupies in
// the neighbour's key, and no (square, direction) pair repeats.
TEST_F(Geometry, AffectedEntriesPointBackAtTheSquare) {
  b().init(20, 20);
  for (int s = 0; s < b().numSquares; s++) {
    bool seen[kMaxSquares][kDirections] = {};
    for (int i = 0; i < b().affectedCount[s]; i++) {
      const AffectedEntry& e = b().affected[s][i];
      ASSERT_FALSE(seen[e.sq][e.dir]);
      seen[e.sq][e.dir] = true;
      const int dx = b().sqX[s] - b().sqX[e.sq];
      const int dy = b().sqY[s] - b().sqY[e.sq];
      const int k = dx != 0 ? dx / dirX[e.dir] : dy / dirY[e.dir];
      ASSERT_EQ(dx, k * dirX[e.dir]);
      ASSERT_EQ(dy, k * dirY[e.dir]);
      const int expectedShift = k < 0 ? 2 * (k + 4) : 2 * (k + 3);
      ASSERT_EQ(e.mask, ~(3 << expectedShift));
    }
  }
}

TEST_F(Geometry, NearListOrder) {
  b().init(15, 15);
  const int* list = b().near[sq(7, 7)];
  EXPECT_EQ(list[0], sq(5, 5));
  EXPECT_EQ(list[4], sq(5, 9));
  EXPECT_EQ(list[11], sq(7, 6));
  EXPECT_EQ(list[12], sq(7, 8));
  EXPECT_EQ(list[23], sq(9, 9));
  const int* corner = b().near[sq(0, 0)];
  const int expected[8] = {sq(0, 1), sq(0, 2), sq(1, 0), sq(1, 1),
                           sq(1, 2), sq(2, 0), sq(2, 1), sq(2, 2)};
  for (int i = 0; i < 8; i++) EXPECT_EQ(corner[i], expected[i]) << i;
}

TEST_F(Geometry, IndicesOfANonSquareBoard) {
  b().init(10, 15);
  EXPECT_EQ(b().numSquares, 150);
  EXPECT_EQ(b().sqIndex[3][4], 49);
  EXPECT_EQ(b().sqX[49], 3);
  EXPECT_EQ(b().sqY[49], 4);
  EXPECT_EQ(&b().column[3][4], &b().squares[49]);
  // Lines run off the short side: (9, 14) is the far corner.
  EXPECT_EQ(b().squares[sq(9, 14)].key[0], 0xFFAA);
  EXPECT_EQ(b().affectedCount[sq(9, 14)], 12);
  EXPECT_TRUE(test::boardConsistent(b()));
}

TEST_F(Geometry, InitResetsTheGameButNotThePositionKey) {
  b().init(15, 15);
  play(7, 7);
  play(8, 8);
  play(6, 6);
  b().sqMark[sq(3, 3)] = 5;
  const std::uint64_t keyBefore = b().key;
  b().init(15, 15);
  EXPECT_EQ(b().moveCount, 0);
  EXPECT_EQ(b().sideToMove, 0);
  EXPECT_EQ(b().sideOther, 1);
  EXPECT_EQ(b().sqMark[sq(3, 3)], 0);
  EXPECT_EQ(b().key, keyBefore);
  for (int c = 0; c < kPatternCodes; c++) EXPECT_EQ(b().counts.patCount[0][c], 0);
  for (int c = 0; c < kCrossCodes; c++) EXPECT_EQ(b().counts.crossCount[1][c], 0);
  EXPECT_EQ(b().squares[sq(7, 7)].stone, kCellEmpty);
  EXPECT_FALSE(b().squares[sq(7, 6)].candidate);
  EXPECT_TRUE(test::boardConsistent(b()));
}

TEST_F(Geometry, LargestBoard) {
  b().init(20, 20);
  EXPECT_EQ(b().numSquares, 400);
  EXPECT_EQ(b().sqIndex[19][19], 399);
  EXPECT_EQ(b().squares[399].key[2], 0xFFAA);
  EXPECT_EQ(b().squares[399].key[3], 0xFFFF);
  EXPECT_TRUE(test::boardConsistent(b()));
}

using GeometryDeathTest = test::BoardSuite;

TEST_F(GeometryDeathTest, SideOver20IsFatal) {
  auto init = [this](int w, int h) {
    dup2(STDERR_FILENO, STDOUT_FILENO);  // the message goes to standard output
    b().init(w, h);
  };
  EXPECT_EXIT(init(21, 15), testing::ExitedWithCode(0), "Error: Size");
  EXPECT_EXIT(init(15, 21), testing::ExitedWithCode(0), "Error: Size");
}

}  // namespace
}  // namespace velm
