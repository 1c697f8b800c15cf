// makeMove/undoMove: exact state after single moves, the five squares, and
// random games in which every undo must restore the board exactly and the
// incremental state must always match a recount from the stones.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "board/board.h"
#include "board_test_util.h"

namespace velm {
namespace {

using MakeUndo = test::BoardSuite;

// Candidates must be exactly the empty squares near a stone when every move
// after the first was made on a candidate.
::testing::AssertionResult exactCandidates(const VelmBoard& b) {
  for (int x = 0; x < b.boardWidth; x++) {
    for (int y = 0; y < b.boardHeight; y++) {
      const BoardSquare& s = b.squares[b.sqIndex[x][y]];
      bool nearStone = false;
      for (int nx = x - kNearReach; nx <= x + kNearReach; nx++)
        for (int ny = y - kNearReach; ny <= y + kNearReach; ny++)
          if (nx >= 0 && nx < b.boardWidth && ny >= 0 && ny < b.boardHeight &&
              b.squares[b.sqIndex[nx][ny]].stone != kCellEmpty)
            nearStone = true;
      const bool expected = s.stone == kCellEmpty && nearStone;
      if (s.candidate != expected)
        return ::testing::AssertionFailure() << "candidate flag of (" << x << "," << y << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(MakeUndo, FirstMoveInTheCentre) {
  b().init(15, 15);
  auto empty = test::BoardSnapshot::of(b());
  play(7, 7);
  const UndoRecord& rec = b().undoStack[0];
  EXPECT_EQ(rec.move, sq(7, 7));
  EXPECT_EQ(rec.newCandCount, 24);
  EXPECT_EQ(rec.keyChangeCount, 32);

  const BoardSquare& right = b().squares[sq(8, 7)];
  EXPECT_EQ(right.key[0], 0xAA2A);
  EXPECT_EQ(right.pat[0][0], patOpenTwo);
  EXPECT_EQ(right.pat[1][0], 0);

  const int pat0[kPatternCodes] = {-36, 8, 8, 16, 0, 0, 0, 0, 0, 0};
  const int pat1[kPatternCodes] = {-4, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int c = 0; c < kPatternCodes; c++) {
    EXPECT_EQ(b().counts.patCount[0][c], pat0[c]) << "side 0 code " << c;
    EXPECT_EQ(b().counts.patCount[1][c], pat1[c]) << "side 1 code " << c;
  }
  for (int c = 0; c < kCrossCodes; c++) {
    EXPECT_EQ(b().counts.crossCount[0][c], c == 0 ? -1 : 0) << c;
    EXPECT_EQ(b().counts.crossCount[1][c], c == 0 ? -1 : 0) << c;
  }
  EXPECT_EQ(b().sideToMove, 1);
  EXPECT_EQ(b().sideOther, 0);
  EXPECT_EQ(b().moveCount, 1);
  EXPECT_EQ(b().key, empty->key ^ b().zobrist[0][sq(7, 7)]);
  EXPECT_TRUE(test::boardConsistent(b()));
  EXPECT_TRUE(exactCandidates(b()));

  // Undo restores everything; the centre was no candidate when played, and
  // stays marked as one.
  b().undoMove();
  auto after = test::BoardSnapshot::of(b());
  EXPECT_TRUE(after->squares[sq(7, 7)].candidate);
  after->squares[sq(7, 7)].candidate = false;
  EXPECT_EQ(test::firstDifference(*empty, *after), "");
  EXPECT_TRUE(test::boardConsistent(b()));
}

TEST_F(MakeUndo, CornerMove) {
  b().init(15, 15);
  play(0, 0);
  EXPECT_EQ(b().undoStack[0].keyChangeCount, 12);
  EXPECT_EQ(b().undoStack[0].newCandCount, 8);
  // A second stone next to it: the already marked squares and the stone
  // itself are not new candidates; the stone's own key is not changed.
  play(1, 1);
  EXPECT_EQ(b().undoStack[1].newCandCount, 15 - 1 - 7);
  EXPECT_EQ(b().undoStack[1].keyChangeCount, 17 - 1);
  EXPECT_TRUE(test::boardConsistent(b()));
  EXPECT_TRUE(exactCandidates(b()));
}

TEST_F(MakeUndo, KeysOfOccupiedSquaresAreFrozen) {
  b().init(15, 15);
  play(7, 7);
  const BoardSquare frozen = b().squares[sq(7, 7)];
  play(8, 7);
  play(6, 7);
  for (int d = 0; d < kDirections; d++) EXPECT_EQ(b().squares[sq(7, 7)].key[d], frozen.key[d]);
  b().undoMove();
  b().undoMove();
  EXPECT_EQ(b().squares[sq(8, 7)].key[0], 0xAA2A);
  EXPECT_TRUE(test::boardConsistent(b()));
}

// Side 0 gets an open four: both five squares, in affected order.
TEST_F(MakeUndo, FiveSquaresOfAnOpenFourAndTheirBlock) {
  b().init(15, 15);
  play(3, 7);
  play(3, 0);
  play(4, 7);
  play(5, 0);
  play(5, 7);
  play(7, 0);
  play(6, 7);  // four stones (3..6, 7)
  EXPECT_EQ(b().counts.patCount[0][patFive], 2);
  EXPECT_EQ(b().counts.fiveSq[0][0], sq(7, 7));
  EXPECT_EQ(b().counts.fiveSq[0][1], sq(2, 7));
  EXPECT_EQ(b().squares[sq(7, 7)].pat[0][0], patFive);
  EXPECT_EQ(b().squares[sq(2, 7)].pat[0][0], patFive);
  EXPECT_TRUE(test::boardConsistent(b()));

  // Side 1 blocks the first: the second moves up.
  play(7, 7);
  EXPECT_EQ(b().counts.patCount[0][patFive], 1);
  EXPECT_EQ(b().counts.fiveSq[0][0], sq(2, 7));
  EXPECT_TRUE(test::boardConsistent(b()));

  // Undo brings back both.
  b().undoMove();
  EXPECT_EQ(b().counts.fiveSq[0][0], sq(7, 7));
  EXPECT_EQ(b().counts.fiveSq[0][1], sq(2, 7));
  EXPECT_EQ(b().counts.patCount[0][patFive], 2);

  // Blocking the second recorded square leaves the first in place.
  play(2, 7);
  EXPECT_EQ(b().counts.fiveSq[0][0], sq(7, 7));
  EXPECT_EQ(b().counts.patCount[0][patFive], 1);
}

// Only the first two five squares of one move are recorded; the count still
// has every direction in which a square makes five.
TEST_F(MakeUndo, AtMostTwoFiveSquaresPerMove) {
  b().init(15, 15);
  const int own[6][2] = {{4, 7}, {5, 7}, {6, 7}, {7, 4}, {7, 5}, {7, 6}};
  const int other[6][2] = {{0, 0}, {0, 2}, {0, 4}, {0, 6}, {0, 8}, {0, 10}};
  for (int i = 0; i < 6; i++) {
    play(own[i][0], own[i][1]);
    play(other[i][0], other[i][1]);
  }
  EXPECT_EQ(b().counts.patCount[0][patFive], 0);
  play(7, 7);  // fours along the row and the column at once
  EXPECT_EQ(b().counts.patCount[0][patFive], 4);
  EXPECT_EQ(b().counts.fiveSq[0][0], sq(8, 7));
  EXPECT_EQ(b().counts.fiveSq[0][1], sq(3, 7));
  EXPECT_TRUE(test::boardConsistent(b()));

  // A move that meets no five leaves the recorded squares as they are.
  play(12, 12);
  EXPECT_EQ(b().counts.fiveSq[0][0], sq(8, 7));
  EXPECT_EQ(b().counts.fiveSq[0][1], sq(3, 7));
  // A move meeting one five square writes the first entry only.
  play(13, 13);
  play(7, 12);  // touches the column line of (7, 8), which stays a five
  EXPECT_EQ(b().counts.fiveSq[0][0], sq(7, 8));
  EXPECT_EQ(b().counts.fiveSq[0][1], sq(3, 7));
  EXPECT_EQ(b().counts.patCount[0][patFive], 4);
  EXPECT_TRUE(test::boardConsistent(b()));
}

struct GameShape {
  int width;
  int height;
  unsigned seed;
};

class RandomGames : public test::BoardSuite, public ::testing::WithParamInterface<GameShape> {};

// A random walk of makes and undos over candidate squares. After each make
// the state must match a recount; after each undo it must equal the state
// recorded when that move count was last reached.
TEST_P(RandomGames, UndoRestoresAndCountsMatchRecount) {
  const GameShape shape = GetParam();
  std::mt19937 rng(shape.seed);
  b().init(shape.width, shape.height);
  std::vector<std::unique_ptr<test::BoardSnapshot>> at(kMaxSquares + 1);
  at[0] = test::BoardSnapshot::of(b());

  // The first stone goes anywhere; it is never taken back.
  b().makeMove(static_cast<int>(rng() % b().numSquares));
  at[1] = test::BoardSnapshot::of(b());

  int steps = 0;
  while (steps < 1000 && b().moveCount < b().numSquares) {
    steps++;
    if (b().moveCount > 1 && rng() % 10 < 2) {
      const int back = 1 + static_cast<int>(rng() % 3);
      for (int i = 0; i < back && b().moveCount > 1; i++) {
        b().undoMove();
        auto now = test::BoardSnapshot::of(b());
        ASSERT_EQ(test::firstDifference(*at[b().moveCount], *now), "")
            << "after undo to " << b().moveCount << " moves";
      }
      continue;
    }
    const int sq = test::randomCandidate(b(), rng);
    ASSERT_GE(sq, 0);
    b().makeMove(sq);
    at[b().moveCount] = test::BoardSnapshot::of(b());
    ASSERT_TRUE(test::boardConsistent(b())) << "after move " << b().moveCount;
    ASSERT_TRUE(exactCandidates(b())) << "after move " << b().moveCount;
  }

  // All the way back to the first stone.
  while (b().moveCount > 1) {
    b().undoMove();
    auto now = test::BoardSnapshot::of(b());
    ASSERT_EQ(test::firstDifference(*at[b().moveCount], *now), "");
  }
  ASSERT_TRUE(test::boardConsistent(b()));
}

INSTANTIATE_TEST_SUITE_P(Shapes, RandomGames,
                         ::testing::Values(GameShape{15, 15, 1}, GameShape{15, 15, 2},
                                           GameShape{20, 20, 3}, GameShape{10, 15, 4},
                                           GameShape{7, 7, 5}, GameShape{5, 9, 6}),
                         [](const ::testing::TestParamInfo<GameShape>& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height) + "_" +
                                  std::to_string(info.param.seed);
                         });

}  // namespace
}  // namespace velm
