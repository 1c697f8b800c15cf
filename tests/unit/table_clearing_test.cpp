// When the result tables are allocated and cleared: allocated at the first
// game and at a game that asks for another size, cleared only when they may
// hold something. Either way every probe of a new game reads what a cleared
// table gives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "board/board.h"
#include "search/brain.h"
#include "platform/random.h"

namespace velm {
namespace {

// Slots spread over both tables, first and last included.
std::vector<std::uint64_t> sampleSlots(const VelmHash& h) {
  return {0, 1, 4095, h.tableMask / 2, h.tableMask - 1, h.tableMask};
}

// The entries of the sample slots all read as key 0 with every field 0.
::testing::AssertionResult samplesCleared(const VelmHash& h) {
  for (std::uint64_t slot : sampleSlots(h)) {
    const TTEntry& e = h.tt[slot];
    if (e.key != 0 || e.depth != 0 || e.bound != 0 || e.move != 0 || e.value != 0 ||
        e.fullDepth != 0)
      return ::testing::AssertionFailure() << "tt slot " << slot;
    if (h.tt0[slot].key != 0 || h.tt0[slot].value != 0)
      return ::testing::AssertionFailure() << "tt0 slot " << slot;
  }
  return ::testing::AssertionSuccess();
}

// Puts something other than zero in every byte of the sample entries.
void scribble(VelmHash& h) {
  for (std::uint64_t slot : sampleSlots(h)) {
    std::memset(&h.tt[slot], 0xA5, sizeof h.tt[slot]);
    std::memset(&h.tt0[slot], 0x5A, sizeof h.tt0[slot]);
  }
}

TEST(TableClearing, FreshTablesStartClearAndStoresMakeThemDirty) {
  auto board = std::make_unique<VelmBoard>();
  EXPECT_EQ(board->tt, nullptr) << "nothing is allocated before the first game";
  board->init(15, 15);
  EXPECT_EQ(board->tableMask, (std::uint64_t{1} << kDefaultTableBits) - 1);
  EXPECT_TRUE(board->tablesClear);
  EXPECT_TRUE(samplesCleared(*board));
  board->init(15, 15);  // the player's constructor and its first new game
  EXPECT_TRUE(board->tablesClear);
  // The key of the empty board is still 0, which matches the key 0 of a
  // cleared entry, as it does after a clear; a stone's key finds nothing.
  ASSERT_EQ(board->key, 0u);
  ASSERT_NE(board->retriveTT(), nullptr);
  EXPECT_EQ(board->retriveTT()->move, 0);
  EXPECT_EQ(board->retriveTT0(), 0);
  board->makeMove(board->sqIndex[7][7]);
  EXPECT_EQ(board->retriveTT(), nullptr);
  EXPECT_EQ(board->retriveTT0(), NO_SCORE);

  board->storeTT0(5);
  EXPECT_FALSE(board->tablesClear);
  board->init(15, 15);
  EXPECT_TRUE(board->tablesClear);
  board->storeTT(3, 3, 7, BOUND_LOWER, 12);
  EXPECT_FALSE(board->tablesClear);
}

TEST(TableClearing, ANewGameAfterStoresReadsAsCleared) {
  auto board = std::make_unique<VelmBoard>();
  board->init(15, 15);
  board->makeMove(board->sqIndex[7][7]);
  board->storeTT(3, 3, 7, BOUND_LOWER, 12);
  board->storeTT0(5);
  // Content that no store wrote (as if left by anything) goes too, once a
  // store has made the tables dirty.
  scribble(*board);
  const std::uint64_t k = board->key;
  board->init(15, 15);
  EXPECT_EQ(board->key, k);
  EXPECT_EQ(board->retriveTT(), nullptr);
  EXPECT_EQ(board->retriveTT0(), NO_SCORE);
  EXPECT_TRUE(samplesCleared(*board));
}

// A new size takes effect at the next game, with fresh clear tables; the
// same size keeps the tables it has.
TEST(TableClearing, ANewTableSizeTakesEffectAtTheNextGame) {
  auto board = std::make_unique<VelmBoard>();
  board->init(15, 15);
  const TTEntry* first = board->tt;
  board->setTableBits(kDefaultTableBits);
  board->init(15, 15);
  EXPECT_EQ(board->tt, first);
  board->storeTT0(5);
  board->setTableBits(kMinTableBits);
  EXPECT_EQ(board->tt, nullptr);
  board->init(15, 15);
  EXPECT_EQ(board->tableMask, (std::uint64_t{1} << kMinTableBits) - 1);
  EXPECT_TRUE(board->tablesClear);
  EXPECT_TRUE(samplesCleared(*board));
  board->makeMove(board->sqIndex[7][7]);
  board->storeTT(3, 3, 7, BOUND_LOWER, 12);
  ASSERT_NE(board->retriveTT(), nullptr);
  EXPECT_EQ(board->retriveTT()->move, 12);
}

// The table size under a manager's memory limit: the largest that leaves
// the process within it, the default without a limit or with room to spare.
TEST(TableClearing, TablesShrinkToFitTheMemoryLimit) {
  struct Case {
    long long maxMemory;
    int bits;
    bool fits;
  };
  const Case cases[] = {{0, kDefaultTableBits, true},
                        {350LL << 20, kDefaultTableBits, true},
                        {100000000, 20, true},
                        {50000000, 19, true},
                        {1000, kMinTableBits, false}};
  for (const Case& c : cases) {
    bool fits = !c.fits;
    EXPECT_EQ(VelmBrain::tableBitsFor(c.maxMemory, fits), c.bits) << c.maxMemory;
    EXPECT_EQ(fits, c.fits) << c.maxMemory;
    if (c.maxMemory != 0 && c.fits) {
      EXPECT_LE(sizeof(VelmBrain) + tableBytes(c.bits), static_cast<std::uint64_t>(c.maxMemory));
    }
  }
}

}  // namespace
}  // namespace velm
