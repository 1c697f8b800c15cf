// When the result tables are cleared: only when they may hold something. A
// fresh engine from operator new starts with zeroed tables that no game
// clears again until something is stored; an engine in any other storage is
// cleared by its first game. Either way every probe of a new game reads what
// a cleared table gives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "board/board.h"
#include "platform/random.h"

namespace velm {
namespace {

// Slots spread over both tables, first and last included.
constexpr std::uint64_t kSampleSlots[] = {0, 1, 4095, 4096, 1234567, kTableMask - 1, kTableMask};

// The entries of the sample slots all read as key 0 with every field 0.
::testing::AssertionResult samplesCleared(const VelmHash& h) {
  for (std::uint64_t slot : kSampleSlots) {
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
  for (std::uint64_t slot : kSampleSlots) {
    std::memset(&h.tt[slot], 0xA5, sizeof h.tt[slot]);
    std::memset(&h.tt0[slot], 0x5A, sizeof h.tt0[slot]);
  }
}

TEST(TableClearing, AFreshEngineStartsClearAndStoresMakeItDirty) {
  auto board = std::make_unique<VelmBoard>();
  EXPECT_TRUE(board->tablesClear);
  EXPECT_TRUE(samplesCleared(*board));
  board->init(15, 15);
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
  EXPECT_EQ(board->tt[k & kTableMask].key, 0u);
  EXPECT_EQ(board->tt0[k & kTableMask].value, 0);
  EXPECT_TRUE(samplesCleared(*board));
}

// Storage that did not come from the engine's operator new may hold
// anything: the first game clears it.
TEST(TableClearing, AnEngineInOtherStorageIsClearedByItsFirstGame) {
  void* block = std::malloc(sizeof(VelmBoard));
  ASSERT_NE(block, nullptr);
  VelmBoard* board = ::new (block) VelmBoard;
  EXPECT_FALSE(board->tablesClear);
  scribble(*board);
  board->init(15, 15);
  EXPECT_TRUE(board->tablesClear);
  EXPECT_TRUE(samplesCleared(*board));
  board->~VelmBoard();
  std::free(block);
}

// Two engines one after the other (a new player after END): each starts
// clear, and the second does not take the first one's block for granted.
TEST(TableClearing, EachFreshEngineKnowsItsOwnTables) {
  auto first = std::make_unique<VelmBoard>();
  first->init(15, 15);
  first->storeTT0(1);
  auto second = std::make_unique<VelmBoard>();
  EXPECT_FALSE(first->tablesClear);
  EXPECT_TRUE(second->tablesClear);
  EXPECT_TRUE(samplesCleared(*second));
}

}  // namespace
}  // namespace velm
