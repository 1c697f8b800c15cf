// Position keys and the two result tables.
#include "board/hash.h"

#include <gtest/gtest.h>

#include "board/board.h"
#include "board_test_util.h"
#include "platform/random.h"

namespace velm {
namespace {

using PositionKeys = test::BoardSuite;

TEST_F(PositionKeys, Rand64ComposesFiveDraws) {
  platform::seedRandom(12345);
  std::uint64_t r[5];
  for (auto& v : r) v = static_cast<std::uint64_t>(platform::nextRandom());
  const std::uint64_t expected = r[0] ^ (r[1] << 15) ^ (r[2] << 30) ^ (r[3] << 45) ^ (r[4] << 60);
  platform::seedRandom(12345);
  EXPECT_EQ(VelmHash::rand64(), expected);
}

TEST_F(PositionKeys, InitDrawsBothSidesOfEachSquareInTurn) {
  platform::seedRandom(777);
  b().init(15, 15);
  platform::seedRandom(777);
  for (int sq = 0; sq < kMaxSquares; sq++) {
    ASSERT_EQ(b().zobrist[0][sq], VelmHash::rand64()) << sq;
    ASSERT_EQ(b().zobrist[1][sq], VelmHash::rand64()) << sq;
  }
  // A new game draws fresh numbers.
  const std::uint64_t first = b().zobrist[0][0];
  b().init(15, 15);
  EXPECT_NE(b().zobrist[0][0], first);
}

TEST_F(PositionKeys, MoveAndUndoRestoreTheKey) {
  b().init(15, 15);
  const std::uint64_t start = b().key;
  play(7, 7);
  EXPECT_EQ(b().key, start ^ b().zobrist[0][sq(7, 7)]);
  play(8, 8);
  EXPECT_EQ(b().key, start ^ b().zobrist[0][sq(7, 7)] ^ b().zobrist[1][sq(8, 8)]);
  b().undoMove();
  b().undoMove();
  EXPECT_EQ(b().key, start);
}

TEST_F(PositionKeys, TranspositionsShareKeyAndEntries) {
  b().init(15, 15);
  play(7, 7);
  play(8, 8);
  play(6, 6);
  const std::uint64_t k1 = b().key;
  b().storeTT(5, 3, 1234, BOUND_LOWER, sq(9, 9));
  b().storeTT0(-77);
  b().undoMove();
  b().undoMove();
  b().undoMove();
  play(6, 6);
  play(8, 8);
  play(7, 7);
  EXPECT_EQ(b().key, k1);
  const TTEntry* e = b().retriveTT();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->depth, 5);
  EXPECT_EQ(e->fullDepth, 3);
  EXPECT_EQ(e->value, 1234);
  EXPECT_EQ(e->bound, BOUND_LOWER);
  EXPECT_EQ(e->move, sq(9, 9));
  EXPECT_EQ(b().retriveTT0(), -77);
}

TEST_F(PositionKeys, SlotHeldByAnotherPositionFindsNothing) {
  b().init(15, 15);
  b().key = 0x123456789ULL;
  b().storeTT(4, 4, 10, BOUND_EXACT, 7);
  b().storeTT0(55);
  b().key ^= 1ULL << 40;  // same slot, different position
  EXPECT_EQ(b().retriveTT(), nullptr);
  EXPECT_EQ(b().retriveTT0(), NO_SCORE);
  EXPECT_EQ(b().retriveTT0(), -100000000);
}

TEST_F(PositionKeys, StoreReplacesDeeperEntries) {
  b().init(15, 15);
  b().key = 0xABCDEF0123ULL;
  b().storeTT(UNLIMITED, UNLIMITED, winScore, BOUND_EXACT, -1);
  b().storeTT(1, 1, -5, BOUND_UPPER, 3);
  const TTEntry* e = b().retriveTT();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->depth, 1);
  EXPECT_EQ(e->value, -5);
  EXPECT_EQ(e->bound, BOUND_UPPER);
  // A different position in the same slot takes it over.
  const std::uint64_t old = b().key;
  b().key ^= b().tableMask + 1;
  b().storeTT0(9);
  b().key = old;
  EXPECT_EQ(b().retriveTT0(), NO_SCORE);
}

TEST_F(PositionKeys, NewGameClearsTablesButKeepsTheKey) {
  b().init(15, 15);
  play(7, 7);
  play(7, 8);
  b().storeTT(2, 2, 1, BOUND_EXACT, 0);
  b().storeTT0(1);
  const std::uint64_t k = b().key;
  b().init(15, 15);
  EXPECT_EQ(b().key, k);
  EXPECT_EQ(b().retriveTT(), nullptr);
  EXPECT_EQ(b().retriveTT0(), NO_SCORE);
  // A cleared entry reads as key 0 with every field 0.
  EXPECT_EQ(b().tt[k & b().tableMask].key, 0u);
  EXPECT_EQ(b().tt[k & b().tableMask].move, 0);
  EXPECT_EQ(b().tt0[k & b().tableMask].value, 0);
}

}  // namespace
}  // namespace velm
