// The game memory: its file, its keys, its store, and a player's memory.
#include "memo/memo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "board/keys.h"
#include "brain_driver.h"
#include "platform/random.h"
#include "player/player.h"
#include "search/brain.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using Moves = std::vector<std::pair<int, int>>;
using Ints = std::vector<int>;

constexpr long kFillOffset = 352020;  // the fill indices, after the header and the blocks

std::string le(std::uint64_t value, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; i++) s += static_cast<char>(value >> (8 * i));
  return s;
}

class Memo : public ::testing::Test {
 protected:
  testing_support::TempFolder dir;
  const std::string folder = dir.path() + "/", file = folder + kMemoFileName;
  std::uint64_t keys[2][kMaxSquares];  // side 0's first, as the engine passes them

  // A memory for a size x size board in a folder ("": no file), with the random numbers of a seed.
  std::unique_ptr<VelmMemo> open(const std::string& where, int size, std::uint32_t seed = 1) {
    platform::seedRandom(seed);
    for (auto& side : keys)
      for (std::uint64_t& k : side) k = PositionKeys::rand64();
    auto memo = std::make_unique<VelmMemo>();
    memo->init(size, size, &keys[0][0], where.c_str());
    return memo;
  }
  // A game without symmetry, its moves spread over the board, in image k of the 8 symmetries (a
  // quarter turn k times, mirrored from 4).
  Moves game(int size, int count, int k = 0, int salt = 0) {
    Moves moves;
    std::vector<bool> used(size * size);
    for (int s = 7 + salt; static_cast<int>(moves.size()) < count;) {
      for (s = (s * 31 + 17 + salt) % (size * size); used[s];) s = (s + 1) % (size * size);
      used[s] = true;
      int x = k >= 4 ? size - 1 - s / size : s / size, y = s % size;
      for (int r = 0; r < k % 4; r++) std::tie(x, y) = std::pair{size - 1 - y, x};
      moves.emplace_back(x, y);
    }
    return moves;
  }
  void play(VelmMemo& memo, const Moves& moves) {
    for (auto [x, y] : moves) memo.makeMove(x, y);
  }
  int used(const VelmMemo& memo) {
    int n = 0;
    for (const auto& block : memo.lostTable)
      for (const MemoEntry& e : block) n += e.key != 0;
    return n;
  }
  // The file of these random numbers and, if asked, one entry (block 3, slot 7).
  std::string fileBytes(int side, bool entry) {
    std::string bytes = le(side, 4) + le(20, 4) + le(8, 4) + le(30, 4) + le(1000, 4) +
                        std::string(kMemoBlocks * kMemoBlockSize * 16 + kMemoMoves * 4, '\0');
    if (entry) bytes.replace(20 + 3007 * 16, 16, le(0xF1E2D3C4B5A69788, 8) + le(1, 4) + le(-2, 4));
    if (entry) bytes.replace(kFillOffset + 3 * 4, 4, le(8, 4));
    for (auto& side : keys)
      for (std::uint64_t key : side) bytes += le(key, 8);
    return bytes;
  }
};

// The file, byte for byte: header, blocks, fill indices and random numbers, little-endian, written
// through a temporary file that does not stay. A reader takes a file of exactly this size, header
// and used fill indices, and writes it back as it was; any other leaves fresh tables, written. The
// name: none without a folder, the folder as a prefix however short, none when no room is left for
// the temporary file's name; the memory works all the same, and another size empties the tables
// under the new folder's name. A plain file in the way, or a memory never initialised, writes
// nothing (failing writes: the end-to-end faults test); a board not square is fatal.
TEST_F(Memo, TheFileItsNameAndWhatAReaderDoesWithIt) {
  auto memo = open(folder, 15);
  memo->lostTable[3][7] = {0xF1E2D3C4B5A69788, 1, -2};
  memo->fillIndex[3] = 8;
  memo.reset();  // the destructor writes
  EXPECT_TRUE(readFile(file) == fileBytes(15, true) && !fs::exists(file + ".tmp"));
  // The offset of a 32-bit value (or -1) and the value, bytes added, accepted.
  const long f = kFillOffset,
             damage[][4] = {{-1, 0, 0, 1},      {0, 20, 0, 0},       {4, 19, 0, 0},
                            {8, 7, 0, 0},       {12, 29, 0, 0},      {16, 999, 0, 0},
                            {-1, 0, 1, 0},      {-1, 0, -1, 0},      {f, 1000, 0, 0},
                            {f + 84, -1, 0, 0}, {f + 84, 999, 0, 1}, {f + 88, -1, 0, 1}};
  for (const auto& [offset, value, added, accepted] : damage) {
    open("", 15, 7);  // the numbers of the file
    std::string bytes = fileBytes(15, true);
    if (offset >= 0) bytes.replace(offset, 4, le(value, 4));
    bytes.resize(bytes.size() + added);
    testing_support::writeFile(file, bytes);
    open(folder, 15, 8).reset();  // reads the file and writes its tables back
    EXPECT_TRUE(readFile(file) == (accepted ? bytes : fileBytes(15, false)))
        << offset << " " << added;
  }
  const std::string longest = folder + std::string(kPathCapacity - 14 - folder.size(), 'e');
  const std::pair<std::string, std::string> names[] = {
      {"", ""}, {"d", "dvelmDat.0"}, {longest, longest + "velmDat.0"}, {longest + "e", ""}};
  for (const auto& [where, name] : names) {
    memo = open(where, 15);
    EXPECT_EQ(memo->fileName, name);
    play(*memo, game(15, 12));
    memo->saveGame(0, 12);
    EXPECT_EQ(used(*memo), 1);
    memo->init(20, 20, &keys[0][0], "");  // another size: empty tables, under no file
    const int fill = *std::ranges::max_element(memo->fillIndex);
    EXPECT_EQ((Ints{memo->size, used(*memo), fill, memo->fileName[0]}), (Ints{20, 0, 0, 0}));
    memo->loaded = 0;  // nothing to write at the end
  }
  testing_support::writeFile(folder + "plain", "123");
  EXPECT_FALSE(open(folder + "plain/", 15)->writeFile());
  EXPECT_EQ(readFile(folder + "plain"), "123");
  auto never = std::make_unique<VelmMemo>();
  std::snprintf(never->fileName, sizeof never->fileName, "%s", (folder + "never").c_str());
  EXPECT_FALSE(never->writeFile() || fs::exists(folder + "never"));
  EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), never->init(15, 20, &keys[0][0], "")),
              testing::ExitedWithCode(0), "Error: Memo only works for squared boards");
}

// A position's canonical key is the smallest XOR of its stones' numbers under the 8 symmetries:
// every image of a game has the same keys; moves after the 30th are not recorded. A lost position
// is found in every image of the game, but only as reached by move 9-30.
TEST_F(Memo, CanonicalKeysAndLostPositions) {
  auto reference = open("", 15);
  play(*reference, game(15, 32));
  std::uint64_t smallest = ~0ull;
  for (int k = 0; k < kMemoSymmetries; k++) {
    std::uint64_t key = 0;
    const Moves image = game(15, kMemoMoves, k);
    for (int i = 0; i < kMemoMoves; i++) key ^= keys[i % 2][20 * image[i].first + image[i].second];
    smallest = std::min(smallest, key);
  }
  EXPECT_EQ(reference->moveKeys[kMemoMoves - 1], smallest);
  EXPECT_EQ(reference->numMoves, kMemoMoves);
  reference->saveGame(1, 24);
  int block = 0;
  while (block < kMemoBlocks - 1 && reference->lostTable[block][0].key == 0) block++;
  EXPECT_EQ(block % 2, 0);  // the parity of the ply
  for (int k = 0; k < kMemoSymmetries; k++) {
    auto memo = open("", 15);
    play(*memo, game(15, 31, k));
    EXPECT_EQ(std::memcmp(memo->moveKeys, reference->moveKeys, sizeof memo->moveKeys), 0) << k;
    std::memcpy(memo->lostTable, reference->lostTable, sizeof memo->lostTable);
    const Moves moves = game(15, block + 10, k);
    memo->init(15, 15, &keys[0][0], "");  // the next game keeps the tables
    play(*memo, Moves(moves.begin(), moves.end() - 2));
    int value = -1;
    EXPECT_TRUE(memo->checkMove(moves[block + 8].first, moves[block + 8].second, 0, value)) << k;
    EXPECT_TRUE(value == 1 && memo->numMoves == block + 8);
    EXPECT_FALSE(memo->checkMove(moves[block + 9].first, moves[block + 9].second, 0, value));
  }
  const Moves moves = game(20, 31);
  for (int n = 6; n <= 30; n++) {
    auto ahead = open("", 20), asked = open("", 20);
    play(*ahead, Moves(moves.begin(), moves.begin() + n + 1));
    play(*asked, Moves(moves.begin(), moves.begin() + n));
    if (n >= kMemoFirstBlock && n < kMemoMoves)
      asked->lostTable[n - kMemoFirstBlock][kMemoBlockSize - 1] = {ahead->moveKeys[n], 0, 0};
    int value = -1;
    EXPECT_EQ(asked->checkMove(moves[n].first, moves[n].second, 0, value), n >= 8 && n <= 29) << n;
  }
}

// saveGame keeps one position per game, reached by a move of the losing side (the parity of ply),
// and only once ten moves are recorded; a position already known takes the new winner; each block
// is a ring of 1000.
TEST_F(Memo, SaveGame) {
  const Moves moves = game(20, 30);
  std::unique_ptr<VelmMemo> memo;
  for (int n : {9, 10, 11, 19, 30})
    for (int ply : {n, n + 1, 41})
      for (std::uint32_t seed = 0; seed < 40; seed++) {
        memo = open("", 20);
        play(*memo, Moves(moves.begin(), moves.begin() + n));
        platform::seedRandom(seed);
        memo->saveGame(0, ply);
        memo->saveGame(1, ply);
        ASSERT_EQ((Ints{used(*memo), memo->saved}), (Ints{n > 9, n > 9})) << n;
        if (n == 9) continue;  // nothing, and the game stays open to a later save
        int i = 0;
        while (i < kMemoBlocks - 1 && memo->lostTable[i][0].key == 0) i++;
        ASSERT_TRUE(i <= n - 9 && i % 2 == ply % 2) << n << " " << ply << " " << i;
        ASSERT_EQ(memo->lostTable[i][0].key, memo->moveKeys[i + kMemoFirstBlock]);
        ASSERT_EQ((Ints{memo->lostTable[i][0].value, memo->fillIndex[i]}), (Ints{0, 1}));
      }
  memo = open("", 20);  // a position block 0 holds, won by side 1, is lost again
  play(*memo, Moves(moves.begin(), moves.begin() + 10));
  memo->lostTable[0][0] = {memo->moveKeys[8], 1, 0};
  memo->lostTable[0][1] = {0x77, 1, 0};
  memo->fillIndex[0] = 2;
  memo->saveGame(0, 10);
  EXPECT_EQ((Ints{memo->lostTable[0][0].value, memo->fillIndex[0], used(*memo)}), (Ints{0, 2, 2}));
  memo->init(20, 20, &keys[0][0], "");  // another position, into the ring's last slot
  memo->fillIndex[0] = kMemoBlockSize - 1;
  play(*memo, game(20, 10, 0, 1));
  memo->saveGame(1, 10);
  EXPECT_EQ(memo->lostTable[0][kMemoBlockSize - 1].key, memo->moveKeys[8]);
  EXPECT_EQ((Ints{memo->lostTable[0][kMemoBlockSize - 1].value, memo->fillIndex[0], used(*memo)}),
            (Ints{1, 0, 3}));
}

// RESTART starts the board, time account, result tables, colour (1: the engine played first, -1:
// the other side) and stone count afresh, and keeps what the game memory learned, unwritten, under
// a new game record (END writing it and a new process reading it: the protocol's end-to-end
// tests). The game: the engine moves first and, after 10 stones, meets the open four (5..8,7).
TEST_F(Memo, APlayerOverANewGame) {
  const Moves lost = {{0, 0}, {5, 7},   {0, 14}, {6, 7}, {14, 0},
                      {7, 7}, {14, 14}, {8, 7},  {7, 0}, {2, 12}};
  platform::seedRandom(27);
  Velmaro_player p(15, 15, GameLimits{3000, 60000, -1, 0}, 24, kOptionMemory | kOptionRichEval,
                   folder.c_str());
  auto state = [&] {
    const VelmBoard& board = p.brain->board();
    const TimeAccount& time = p.brain->worker.time;
    const bool centre = board.stoneSquares().contains(board.sqIndex(7, 7));
    return Ints{p.color,       p.num_moves,    board.moveCount(),        centre,
                time.timeLeft, time.movesToGo, p.brain->tables.isClear()};
  };
  auto play = [&](int stones) {
    for (int i = 0; i < stones; i++) {
      auto [x, y] = lost[i];
      i % 2 ? p.move_oppo(x, y) : p.move_my(x, y);
    }
  };
  const Ints fresh{0, 0, 0, 0, 60000, 15, 1};
  EXPECT_EQ(state(), fresh);
  play(10);
  int x = -1, y = -1, value = -1;
  p.think_move(x, y, -1, 3000, -1);
  p.move_my(x, y);
  EXPECT_EQ((Ints{x, y, p.color, p.num_moves}), (Ints{9, 7, 1, 11}));
  VelmMemo& memo = p.brain->memo;
  p.brain->worker.time.timeLeft = 17;
  p.newgame();
  EXPECT_EQ(state(), fresh);
  EXPECT_EQ((Ints{memo.loaded, memo.numMoves, memo.saved}), (Ints{1, 0, 0}));
  play(8);  // the 9th stone leads into the loss, won by side 1
  EXPECT_TRUE(memo.checkMove(lost[8].first, lost[8].second, 0, value) && value == 1);
  EXPECT_FALSE(fs::exists(file));
  p.newgame();
  p.move_oppo(x, y);
  p.move_my(y, x);
  EXPECT_EQ((Ints{p.color, p.num_moves}), (Ints{-1, 2}));
}

}  // namespace
}  // namespace velm
