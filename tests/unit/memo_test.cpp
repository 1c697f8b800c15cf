// Game memory: canonical keys, the lost-position store and the file.

#include "memo/memo.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/random.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

constexpr long kLostTableOffset = 20;
constexpr long kFillIndexOffset = 352020;
constexpr long kMemoKeysOffset = 352140;
constexpr long kEntryBytes = 16;

// A fresh folder per test, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/velm-memo-XXXXXX";
    char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    root = made ? made : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  // The folder as init() takes it: with a trailing separator.
  std::string folder() const { return root + "/"; }
  std::string file() const { return root + "/velmDat.0"; }
  std::string temp() const { return root + "/velmDat.0.tmp"; }

  std::string root;
};

// 800 deterministic keys (side 0's 400 first), composed like the engine's.
struct KeyTable {
  std::uint64_t k[2][kMaxSquares];
  explicit KeyTable(std::uint32_t seed) {
    platform::seedRandom(seed);
    for (auto& side : k) {
      for (std::uint64_t& v : side) {
        v = 0;
        for (int i = 0; i < 5; i++)
          v ^= static_cast<std::uint64_t>(platform::nextRandom()) << (15 * i);
      }
    }
  }
  const std::uint64_t* data() const { return &k[0][0]; }
};

std::vector<unsigned char> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::uint64_t le(const std::vector<unsigned char>& b, long offset, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; i--) v = (v << 8) | b.at(offset + i);
  return v;
}
std::int32_t le32(const std::vector<unsigned char>& b, long offset) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(le(b, offset, 4)));
}
void putLe32(std::vector<unsigned char>& b, long offset, std::int32_t value) {
  for (int i = 0; i < 4; i++)
    b.at(offset + i) = static_cast<unsigned char>(static_cast<std::uint32_t>(value) >> (8 * i));
}

using Moves = std::vector<std::pair<int, int>>;

// A game without symmetry: distinct squares spread over a size x size board.
Moves gameMoves(int size, int count, int salt = 0) {
  Moves moves;
  std::vector<bool> used(size * size, false);
  int s = 7 + salt * 13;
  while (static_cast<int>(moves.size()) < count) {
    s = (s * 31 + 17 + salt) % (size * size);
    while (used[s]) s = (s + 1) % (size * size);
    used[s] = true;
    moves.emplace_back(s / size, s % size);
  }
  return moves;
}

void play(VelmMemo& memo, const Moves& moves, int count) {
  for (int i = 0; i < count; i++) memo.makeMove(moves[i].first, moves[i].second);
}

// The 8 symmetries generated from a quarter turn and a mirror, independently
// of the memory's own table.
std::pair<int, int> image(int k, std::pair<int, int> sq, int size) {
  const int m = size - 1;
  auto [x, y] = sq;
  if (k >= 4) x = m - x;
  for (int r = 0; r < k % 4; r++) {
    const int turned = m - y;
    y = x;
    x = turned;
  }
  return {x, y};
}

Moves transformed(const Moves& moves, int k, int size) {
  Moves out;
  for (auto sq : moves) out.push_back(image(k, sq, size));
  return out;
}

int usedEntries(const VelmMemo& memo) {
  int used = 0;
  for (const auto& block : memo.lostTable) {
    for (const MemoEntry& e : block) used += e.key != 0;
  }
  return used;
}

// The block that holds the one stored entry, or -1.
int storedBlock(const VelmMemo& memo) {
  for (int b = 0; b < kMemoBlocks; b++) {
    for (const MemoEntry& e : memo.lostTable[b]) {
      if (e.key != 0) return b;
    }
  }
  return -1;
}

bool sameTables(const VelmMemo& a, const VelmMemo& b) {
  return std::memcmp(a.lostTable, b.lostTable, sizeof a.lostTable) == 0 &&
         std::memcmp(a.fillIndex, b.fillIndex, sizeof a.fillIndex) == 0 &&
         std::memcmp(a.memoKeys, b.memoKeys, sizeof a.memoKeys) == 0;
}

// A memory whose tables are fresh: empty store, the given keys.
void expectFresh(const VelmMemo& memo, const KeyTable& keys, int size) {
  EXPECT_EQ(memo.loaded, 1);
  EXPECT_EQ(memo.size, size);
  EXPECT_EQ(usedEntries(memo), 0);
  for (int f : memo.fillIndex) EXPECT_EQ(f, 0);
  EXPECT_EQ(std::memcmp(memo.memoKeys, keys.k, sizeof keys.k), 0);
}

// Writes a valid file for a size x size board with one stored entry.
void writeValidFile(const TempFolder& dir, int size, const KeyTable& keys) {
  auto memo = std::make_unique<VelmMemo>();
  memo->init(size, size, keys.data(), dir.folder().c_str());
  memo->lostTable[4][2] = {0x1234, 1, 0};
  memo->fillIndex[4] = 3;
  ASSERT_TRUE(memo->writeFile());
}

// ---------------------------------------------------------------------------
// The file format.

TEST(MemoFile, FreshFileHasExactLengthHeaderAndKeys) {
  TempFolder dir;
  KeyTable keys(11);
  {
    auto memo = std::make_unique<VelmMemo>();
    memo->init(15, 15, keys.data(), dir.folder().c_str());
  }  // the destructor writes
  auto bytes = readBytes(dir.file());
  ASSERT_EQ(static_cast<long>(bytes.size()), 358540);
  EXPECT_EQ(le32(bytes, 0), 15);
  EXPECT_EQ(le32(bytes, 4), 20);
  EXPECT_EQ(le32(bytes, 8), 8);
  EXPECT_EQ(le32(bytes, 12), 30);
  EXPECT_EQ(le32(bytes, 16), 1000);
  for (long i = kLostTableOffset; i < kMemoKeysOffset; i++) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(le(bytes, kMemoKeysOffset, 8), keys.k[0][0]);
  EXPECT_EQ(le(bytes, kMemoKeysOffset + 8 * 399, 8), keys.k[0][399]);
  EXPECT_EQ(le(bytes, kMemoKeysOffset + 8 * 400, 8), keys.k[1][0]);
  EXPECT_EQ(le(bytes, kMemoKeysOffset + 8 * 799, 8), keys.k[1][399]);
  EXPECT_FALSE(fs::exists(dir.temp()));
}

TEST(MemoFile, FieldsAreLittleEndianAtTheirOffsets) {
  TempFolder dir;
  KeyTable keys(12);
  auto memo = std::make_unique<VelmMemo>();
  memo->init(20, 20, keys.data(), dir.folder().c_str());
  memo->lostTable[0][0] = {0x0102030405060708ull, 1, 0};
  memo->lostTable[3][7] = {0xF1E2D3C4B5A69788ull, 0, -2};
  memo->lostTable[21][999] = {0x8000000000000001ull, 1, 0x7A7B7C7D};
  memo->fillIndex[5] = 17;
  memo->fillIndex[21] = 999;
  memo->fillIndex[29] = -5;
  ASSERT_TRUE(memo->writeFile());

  auto bytes = readBytes(dir.file());
  ASSERT_EQ(static_cast<long>(bytes.size()), 358540);
  const unsigned char first[16] = {8, 7, 6, 5, 4, 3, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(&bytes[kLostTableOffset], first, 16), 0);
  const long e37 = kLostTableOffset + (3 * 1000 + 7) * kEntryBytes;
  EXPECT_EQ(le(bytes, e37, 8), 0xF1E2D3C4B5A69788ull);
  EXPECT_EQ(le32(bytes, e37 + 8), 0);
  EXPECT_EQ(le32(bytes, e37 + 12), -2);
  const long last = kLostTableOffset + (21 * 1000 + 999) * kEntryBytes;
  EXPECT_EQ(last + kEntryBytes, kFillIndexOffset);
  EXPECT_EQ(le(bytes, last, 8), 0x8000000000000001ull);
  EXPECT_EQ(le32(bytes, last + 8), 1);
  EXPECT_EQ(le32(bytes, last + 12), 0x7A7B7C7D);
  EXPECT_EQ(le32(bytes, kFillIndexOffset + 5 * 4), 17);
  EXPECT_EQ(le32(bytes, kFillIndexOffset + 21 * 4), 999);
  EXPECT_EQ(le32(bytes, kFillIndexOffset + 29 * 4), -5);
  EXPECT_EQ(kFillIndexOffset + 30 * 4, kMemoKeysOffset);
}

TEST(MemoFile, RoundTripRestoresTheTables) {
  TempFolder dir;
  KeyTable keys(13);
  auto first = std::make_unique<VelmMemo>();
  first->init(15, 15, keys.data(), dir.folder().c_str());
  Moves moves = gameMoves(15, 20);
  play(*first, moves, 20);
  platform::seedRandom(5);
  first->saveGame(1, 20);
  first->lostTable[9][500] = {0xABCDEF, 0, 0x55};
  first->fillIndex[9] = 501;
  first->fillIndex[25] = 123456;  // unused slot: kept as it is
  ASSERT_TRUE(first->writeFile());

  KeyTable otherKeys(14);
  auto second = std::make_unique<VelmMemo>();
  second->init(15, 15, otherKeys.data(), dir.folder().c_str());
  EXPECT_EQ(second->loaded, 1);
  EXPECT_EQ(second->size, 15);
  EXPECT_TRUE(sameTables(*first, *second));
  EXPECT_EQ(second->fillIndex[25], 123456);
  EXPECT_EQ(usedEntries(*second), 2);
}

TEST(MemoFile, FileForAnotherSizeIsIgnoredAndReplaced) {
  TempFolder dir;
  KeyTable keys15(21), keys20(22);
  writeValidFile(dir, 15, keys15);
  {
    auto memo = std::make_unique<VelmMemo>();
    memo->init(20, 20, keys20.data(), dir.folder().c_str());
    expectFresh(*memo, keys20, 20);
  }
  auto bytes = readBytes(dir.file());
  ASSERT_EQ(static_cast<long>(bytes.size()), 358540);
  EXPECT_EQ(le32(bytes, 0), 20);
  EXPECT_EQ(le(bytes, kMemoKeysOffset, 8), keys20.k[0][0]);
}

TEST(MemoFile, FileWithAWrongFormatNumberIsIgnored) {
  KeyTable keys(31), fresh(32);
  const long offsets[] = {4, 8, 12, 16};
  for (long offset : offsets) {
    TempFolder dir;
    writeValidFile(dir, 15, keys);
    auto bytes = readBytes(dir.file());
    putLe32(bytes, offset, le32(bytes, offset) - 1);
    writeBytes(dir.file(), bytes);
    auto memo = std::make_unique<VelmMemo>();
    memo->init(15, 15, fresh.data(), dir.folder().c_str());
    SCOPED_TRACE(offset);
    expectFresh(*memo, fresh, 15);
  }
}

TEST(MemoFile, FileOfWrongLengthIsIgnored) {
  KeyTable keys(41), fresh(42);
  for (long delta : {-1L, 1L, -6400L}) {
    TempFolder dir;
    writeValidFile(dir, 15, keys);
    auto bytes = readBytes(dir.file());
    bytes.resize(bytes.size() + delta, 0);
    writeBytes(dir.file(), bytes);
    auto memo = std::make_unique<VelmMemo>();
    memo->init(15, 15, fresh.data(), dir.folder().c_str());
    SCOPED_TRACE(delta);
    expectFresh(*memo, fresh, 15);
  }
}

TEST(MemoFile, FileWithAFillIndexOutsideItsBlockIsIgnored) {
  KeyTable keys(51), fresh(52);
  const std::pair<int, std::int32_t> cases[] = {{0, 1000}, {21, -1}, {7, 1 << 30}};
  for (auto [index, value] : cases) {
    TempFolder dir;
    writeValidFile(dir, 15, keys);
    auto bytes = readBytes(dir.file());
    putLe32(bytes, kFillIndexOffset + 4 * index, value);
    writeBytes(dir.file(), bytes);
    auto memo = std::make_unique<VelmMemo>();
    memo->init(15, 15, fresh.data(), dir.folder().c_str());
    SCOPED_TRACE(index);
    expectFresh(*memo, fresh, 15);
  }
}

TEST(MemoFile, UnusedFillIndicesMayHoldAnything) {
  TempFolder dir;
  KeyTable keys(53);
  writeValidFile(dir, 15, keys);
  auto bytes = readBytes(dir.file());
  putLe32(bytes, kFillIndexOffset + 4 * 22, -1);
  putLe32(bytes, kFillIndexOffset + 4 * 29, 5000);
  putLe32(bytes, kFillIndexOffset + 4 * 21, 999);
  writeBytes(dir.file(), bytes);
  auto memo = std::make_unique<VelmMemo>();
  memo->init(15, 15, KeyTable(54).data(), dir.folder().c_str());
  EXPECT_EQ(usedEntries(*memo), 1);
  EXPECT_EQ(memo->fillIndex[22], -1);
  EXPECT_EQ(memo->fillIndex[29], 5000);
  ASSERT_TRUE(memo->writeFile());
  EXPECT_EQ(readBytes(dir.file()), bytes);
}

TEST(MemoFile, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  TempFolder dir;
  KeyTable keys(61);
  writeValidFile(dir, 15, keys);
  const auto old = readBytes(dir.file());
  auto memo = std::make_unique<VelmMemo>();
  memo->init(15, 15, keys.data(), dir.folder().c_str());
  memo->lostTable[0][0] = {0x999, 0, 0};

  // Every write of the temporary file fails (no space on the device).
  fs::create_symlink("/dev/full", dir.temp());
  EXPECT_FALSE(memo->writeFile());
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.temp())));
  EXPECT_EQ(readBytes(dir.file()), old);

  // The replacement itself fails: the target is now a folder.
  fs::rename(dir.file(), dir.root + "/saved");
  fs::create_directory(dir.file());
  EXPECT_FALSE(memo->writeFile());
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.temp())));
  EXPECT_TRUE(fs::is_directory(dir.file()));
  fs::remove(dir.file());
  fs::rename(dir.root + "/saved", dir.file());

  // The folder has gone, and the destructor meets the same failure quietly.
  std::vector<unsigned char> kept = readBytes(dir.file());
  EXPECT_EQ(kept, old);
  fs::remove_all(dir.root);
  EXPECT_FALSE(memo->writeFile());
  memo.reset();
  EXPECT_FALSE(fs::exists(dir.root));
}

TEST(MemoFile, FolderThatIsARegularFileWritesNothing) {
  TempFolder dir;
  const std::string notAFolder = dir.root + "/plain";
  writeBytes(notAFolder, {1, 2, 3});
  auto memo = std::make_unique<VelmMemo>();
  memo->init(15, 15, KeyTable(62).data(), (notAFolder + "/").c_str());
  EXPECT_EQ(memo->loaded, 1);
  EXPECT_FALSE(memo->writeFile());
  EXPECT_EQ(readBytes(notAFolder), (std::vector<unsigned char>{1, 2, 3}));
}

TEST(MemoFile, LongFolderNamesFitOrAreRefusedWhole) {
  KeyTable keys(63);
  // A data folder of 255 characters plus the sub-folder fits.
  TempFolder dir;
  const std::string missing = dir.root + "/missing/";
  const std::string usual = missing + std::string(255 - missing.size(), 'd') + "/velmaro/";
  auto memo = std::make_unique<VelmMemo>();
  memo->init(15, 15, keys.data(), usual.c_str());
  EXPECT_EQ(std::string(memo->fileName), usual + "velmDat.0");

  // The longest folder whose temporary file name still fits.
  const std::string longest =
      missing + std::string(kPathCapacity - 1 - std::strlen("velmDat.0.tmp") - missing.size(), 'e');
  auto edge = std::make_unique<VelmMemo>();
  edge->init(15, 15, keys.data(), longest.c_str());
  EXPECT_EQ(std::string(edge->fileName), longest + "velmDat.0");

  // One more character: no file at all, but the memory still works in play.
  const std::string tooLong = longest + "e";
  auto refused = std::make_unique<VelmMemo>();
  refused->init(15, 15, keys.data(), tooLong.c_str());
  EXPECT_STREQ(refused->fileName, "");
  expectFresh(*refused, keys, 15);
  EXPECT_FALSE(refused->writeFile());
  play(*refused, gameMoves(15, 12), 12);
  refused->saveGame(0, 12);
  EXPECT_EQ(usedEntries(*refused), 1);
}

TEST(MemoFile, MemoryNeverInitialisedWritesNoFile) {
  TempFolder dir;
  {
    auto memo = std::make_unique<VelmMemo>();
    std::strcpy(memo->fileName, dir.file().c_str());
    EXPECT_FALSE(memo->writeFile());
  }
  EXPECT_FALSE(fs::exists(dir.file()));
}

TEST(MemoFileDeathTest, BoardThatIsNotSquareIsFatal) {
  TempFolder dir;
  KeyTable keys(64);
  auto memo = std::make_unique<VelmMemo>();
  EXPECT_EXIT(
      {
        dup2(STDERR_FILENO, STDOUT_FILENO);  // the message goes to standard output
        memo->init(15, 20, keys.data(), dir.folder().c_str());
      },
      testing::ExitedWithCode(0), "Error: Memo only works for squared boards");
}

// ---------------------------------------------------------------------------
// Keys and the store.

TEST(MemoKeys, EveryOrientationOfAGameHasTheSameKeys) {
  TempFolder dir;
  KeyTable keys(71);
  const Moves moves = gameMoves(15, 30);
  auto reference = std::make_unique<VelmMemo>();
  reference->init(15, 15, keys.data(), dir.folder().c_str());
  play(*reference, moves, 30);
  auto memo = std::make_unique<VelmMemo>();
  for (int k = 1; k < kMemoSymmetries; k++) {
    memo->init(15, 15, keys.data(), dir.folder().c_str());
    play(*memo, transformed(moves, k, 15), 30);
    for (int i = 0; i < kMemoMoves; i++) {
      ASSERT_EQ(memo->moveKeys[i], reference->moveKeys[i]) << "symmetry " << k << " move " << i;
    }
  }
  // Another game has other keys.
  memo->init(15, 15, keys.data(), dir.folder().c_str());
  play(*memo, gameMoves(15, 30, 1), 30);
  EXPECT_NE(memo->moveKeys[29], reference->moveKeys[29]);
}

TEST(MemoKeys, KeysAreTheXorOfTheStonesImages) {
  TempFolder dir;
  KeyTable keys(70);
  const int size = 15;
  const Moves moves = {{0, 0}, {1, 2}, {7, 3}, {14, 13}, {4, 9}};
  auto memo = std::make_unique<VelmMemo>();
  memo->init(size, size, keys.data(), dir.folder().c_str());
  play(*memo, moves, 5);
  std::vector<std::uint64_t> expected;
  for (int k = 0; k < kMemoSymmetries; k++) {
    std::uint64_t key = 0;
    for (int i = 0; i < 5; i++) {
      const auto [a, b] = image(k, moves[i], size);
      key ^= keys.k[i % 2][20 * a + b];
    }
    expected.push_back(key);
  }
  std::vector<std::uint64_t> actual(memo->symKeys, memo->symKeys + kMemoSymmetries);
  EXPECT_EQ(actual[0], expected[0]);  // the identity
  std::sort(actual.begin(), actual.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(memo->moveKeys[4], expected[0]);  // the smallest
  EXPECT_EQ(memo->parity, 1);
  EXPECT_EQ(memo->numMoves, 5);
}

TEST(MemoKeys, RecordingStopsAfterThirtyMoves) {
  TempFolder dir;
  KeyTable keys(72);
  auto memo = std::make_unique<VelmMemo>();
  memo->init(20, 20, keys.data(), dir.folder().c_str());
  const Moves moves = gameMoves(20, 40);
  play(*memo, moves, 30);
  std::uint64_t sym[kMemoSymmetries];
  std::memcpy(sym, memo->symKeys, sizeof sym);
  const int parity = memo->parity;
  play(*memo, Moves(moves.begin() + 30, moves.end()), 10);
  EXPECT_EQ(memo->numMoves, 30);
  EXPECT_EQ(memo->parity, parity);
  EXPECT_EQ(std::memcmp(sym, memo->symKeys, sizeof sym), 0);
}

// New game with an empty store, without writing a file in between.
void restartEmpty(VelmMemo& memo, const KeyTable& keys, const TempFolder& dir) {
  memo.init(20, 20, keys.data(), dir.folder().c_str());
  std::memset(memo.lostTable, 0, sizeof memo.lostTable);
  std::memset(memo.fillIndex, 0, sizeof memo.fillIndex);
}

TEST(MemoStore, LostPositionIsRecognisedInEveryOrientation) {
  TempFolder dir;
  KeyTable keys(81);
  auto memo = std::make_unique<VelmMemo>();
  memo->init(15, 15, keys.data(), dir.folder().c_str());
  const Moves moves = gameMoves(15, 24);
  play(*memo, moves, 24);
  platform::seedRandom(3);
  memo->saveGame(1, 24);
  const int block = storedBlock(*memo);
  ASSERT_GE(block, 0);
  EXPECT_EQ(block % 2, 0);  // the parity of ply

  for (int k = 0; k < kMemoSymmetries; k++) {
    memo->init(15, 15, keys.data(), dir.folder().c_str());  // the next game
    const Moves game = transformed(moves, k, 15);
    play(*memo, game, block + kMemoFirstBlock);
    int value = -1;
    const auto [x, y] = game[block + kMemoFirstBlock];
    EXPECT_TRUE(memo->checkMove(x, y, memo->parity, value)) << "symmetry " << k;
    EXPECT_EQ(value, 1);
    // Checking leaves the record as it was; another square is not stored.
    EXPECT_EQ(memo->numMoves, block + kMemoFirstBlock);
    const auto [ox, oy] = game[block + kMemoFirstBlock + 1];
    EXPECT_FALSE(memo->checkMove(ox, oy, memo->parity, value));
  }
}

TEST(MemoStore, CheckMoveOnlyBetweenEightAndTwentyNineRecordedMoves) {
  TempFolder dir;
  KeyTable keys(82);
  const Moves moves = gameMoves(20, 31);
  auto ahead = std::make_unique<VelmMemo>();
  auto memo = std::make_unique<VelmMemo>();
  // For every count n, store the position after n + 1 moves in the block it
  // would belong to, then ask for it after n moves.
  for (int n = 6; n <= 30; n++) {
    restartEmpty(*ahead, keys, dir);
    play(*ahead, moves, n + 1);
    restartEmpty(*memo, keys, dir);
    play(*memo, moves, n);
    const int block = n - kMemoFirstBlock;
    if (block >= 0 && block < kMemoBlocks) {
      memo->lostTable[block][kMemoBlockSize - 1] = {ahead->moveKeys[n], 0, 0};
    }
    int value = -1;
    const bool found = memo->checkMove(moves[n].first, moves[n].second, 0, value);
    EXPECT_EQ(found, n >= 8 && n <= 29) << n;
    if (found) {
      EXPECT_EQ(value, 0);
    }
  }
}

TEST(MemoStore, SaveGameChoosesAPositionOfTheLosingSide) {
  TempFolder dir;
  KeyTable keys(83);
  const Moves moves = gameMoves(20, 30);
  auto memo = std::make_unique<VelmMemo>();
  for (int n : {10, 11, 19, 30}) {
    for (int ply : {n, n + 1, 41}) {
      for (std::uint32_t seed = 0; seed < 40; seed++) {
        restartEmpty(*memo, keys, dir);
        play(*memo, moves, n);
        platform::seedRandom(seed);
        memo->saveGame(0, ply);
        const int i = storedBlock(*memo);
        ASSERT_GE(i, 0);
        EXPECT_LE(i, n - 9);
        EXPECT_EQ(i % 2, ply % 2);
        EXPECT_EQ(memo->lostTable[i][0].key, memo->moveKeys[i + kMemoFirstBlock]);
        EXPECT_EQ(memo->fillIndex[i], 1);
        EXPECT_EQ(usedEntries(*memo), 1);
      }
    }
  }
}

TEST(MemoStore, OnePositionPerGame) {
  TempFolder dir;
  KeyTable keys(84);
  auto memo = std::make_unique<VelmMemo>();
  memo->init(20, 20, keys.data(), dir.folder().c_str());
  play(*memo, gameMoves(20, 25), 25);
  platform::seedRandom(1);
  memo->saveGame(1, 25);
  EXPECT_EQ(memo->saved, 1);
  int fill[kMemoMoves];
  std::memcpy(fill, memo->fillIndex, sizeof fill);
  for (std::uint32_t seed = 2; seed < 10; seed++) {
    platform::seedRandom(seed);
    memo->saveGame(0, 25);
  }
  EXPECT_EQ(usedEntries(*memo), 1);
  EXPECT_EQ(std::memcmp(fill, memo->fillIndex, sizeof fill), 0);
  EXPECT_EQ(memo->lostTable[storedBlock(*memo)][0].value, 1);
}

TEST(MemoStore, TooFewMovesStoresNothingAndLeavesTheGameUnsaved) {
  TempFolder dir;
  KeyTable keys(85);
  auto memo = std::make_unique<VelmMemo>();
  memo->init(20, 20, keys.data(), dir.folder().c_str());
  const Moves moves = gameMoves(20, 10);
  memo->saveGame(1, 0);
  play(*memo, moves, 9);
  memo->saveGame(1, 9);
  EXPECT_EQ(memo->saved, 0);
  EXPECT_EQ(usedEntries(*memo), 0);
  for (int f : memo->fillIndex) EXPECT_EQ(f, 0);
  // Once the tenth move is recorded, a loss found again is stored.
  memo->makeMove(moves[9].first, moves[9].second);
  memo->saveGame(1, 10);
  EXPECT_EQ(memo->saved, 1);
  EXPECT_EQ(usedEntries(*memo), 1);
}

TEST(MemoStore, KnownPositionOnlyTakesTheNewWinner) {
  TempFolder dir;
  KeyTable keys(86);
  auto memo = std::make_unique<VelmMemo>();
  memo->init(20, 20, keys.data(), dir.folder().c_str());
  const Moves moves = gameMoves(20, 10);
  // Ten moves and an even ply always choose block 0: the position after move 9.
  play(*memo, moves, 10);
  memo->lostTable[0][0] = {0x77, 1, 0};
  memo->lostTable[0][1] = {0x78, 1, 0};
  memo->fillIndex[0] = 2;
  memo->saveGame(0, 10);
  const std::uint64_t key = memo->moveKeys[8];
  EXPECT_EQ(memo->lostTable[0][2].key, key);
  EXPECT_EQ(memo->fillIndex[0], 3);

  memo->init(20, 20, keys.data(), dir.folder().c_str());
  play(*memo, moves, 10);
  memo->saveGame(1, 10);
  EXPECT_EQ(memo->lostTable[0][2].key, key);
  EXPECT_EQ(memo->lostTable[0][2].value, 1);
  EXPECT_EQ(memo->fillIndex[0], 3);
  EXPECT_EQ(usedEntries(*memo), 3);
  EXPECT_EQ(memo->lostTable[0][0].value, 1);
  EXPECT_EQ(memo->lostTable[0][1].value, 1);
}

// Game g of a family of over a thousand 10-move games that differ in their
// 8th or 9th stone: one of 32 squares for each.
Moves ringGame(int g) {
  Moves moves = {{0, 0}, {3, 1}, {5, 0}, {7, 1}, {2, 0}, {9, 0}, {1, 1}};
  moves.emplace_back((g / 32) % 16, 5 + (g / 32) / 16);
  moves.emplace_back((g % 32) % 16, 10 + (g % 32) / 16);
  moves.emplace_back(19, 19);
  return moves;
}

TEST(MemoStore, BlockIsARingOfAThousandPositions) {
  TempFolder dir;
  KeyTable keys(87);
  auto memo = std::make_unique<VelmMemo>();
  std::vector<std::uint64_t> stored;
  for (int game = 0; game <= kMemoBlockSize; game++) {
    memo->init(20, 20, keys.data(), dir.folder().c_str());
    play(*memo, ringGame(game), 10);
    memo->saveGame(game % 2, 10);
    stored.push_back(memo->moveKeys[8]);
  }
  ASSERT_EQ(std::set<std::uint64_t>(stored.begin(), stored.end()).size(), stored.size())
      << "the test games must reach different positions";
  EXPECT_EQ(memo->lostTable[0][0].key, stored[kMemoBlockSize]);
  EXPECT_EQ(memo->lostTable[0][0].value, kMemoBlockSize % 2);
  EXPECT_EQ(memo->lostTable[0][1].key, stored[1]);
  EXPECT_EQ(memo->lostTable[0][kMemoBlockSize - 1].key, stored[kMemoBlockSize - 1]);
  EXPECT_EQ(memo->fillIndex[0], 1);
  EXPECT_EQ(usedEntries(*memo), kMemoBlockSize);
}

TEST(MemoStore, NewGameOfTheSameSizeKeepsTheTables) {
  TempFolder dir;
  KeyTable keys(88);
  auto memo = std::make_unique<VelmMemo>();
  memo->init(15, 15, keys.data(), dir.folder().c_str());
  play(*memo, gameMoves(15, 21), 21);
  memo->saveGame(0, 21);
  memo->lostTable[12][40] = {0x4242, 1, 0};
  std::vector<unsigned char> before(sizeof memo->lostTable + sizeof memo->fillIndex);
  std::memcpy(before.data(), memo->lostTable, sizeof memo->lostTable);
  std::memcpy(before.data() + sizeof memo->lostTable, memo->fillIndex, sizeof memo->fillIndex);
  std::uint64_t memoKeys[2][kMaxSquares];
  std::memcpy(memoKeys, memo->memoKeys, sizeof memoKeys);

  memo->init(15, 15, KeyTable(89).data(), dir.folder().c_str());
  EXPECT_EQ(memo->saved, 0);
  EXPECT_EQ(memo->numMoves, 0);
  EXPECT_EQ(memo->parity, 0);
  for (std::uint64_t k : memo->symKeys) EXPECT_EQ(k, 0u);
  EXPECT_EQ(std::memcmp(before.data(), memo->lostTable, sizeof memo->lostTable), 0);
  EXPECT_EQ(
      std::memcmp(before.data() + sizeof memo->lostTable, memo->fillIndex, sizeof memo->fillIndex),
      0);
  EXPECT_EQ(std::memcmp(memoKeys, memo->memoKeys, sizeof memoKeys), 0);
  EXPECT_FALSE(fs::exists(dir.file()));  // nothing written before the end
}

}  // namespace
}  // namespace velm
