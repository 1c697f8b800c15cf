// VelmMemo: the game memory, which learns from lost games across runs.
//
// During a game it keeps, for each of the first kMemoMoves moves, a canonical
// key of the position (the smallest of its 8 keys under the board's
// rotations and mirror images, from the memory's own random numbers
// memoKeys). When the engine finds itself lost, saveGame() stores one
// position of the game, reached by a move of the losing side, in lostTable.
// The root search asks checkMove() whether a move leads into such a
// position.
//
// The tables travel in the file "velmDat.0" (358540 bytes, little-endian,
// layout below), read by the first init() and written by the destructor.
// The write goes to a temporary file that replaces the old one only when
// complete, so the file on disk is always either the old or the new one.
// A file that does not match in size, header or fill indices is ignored.
#pragma once

#include <cstdint>

#include "board/patterns.h"

namespace velm {

constexpr int kMemoGridWidth = 20;  // index of a stone: 20 * x + y
constexpr int kMemoFirstBlock = 8;  // block b pairs with moveKeys[b + 8]
constexpr int kMemoMoves = 30;      // moves recorded per game
constexpr int kMemoBlockSize = 1000;
constexpr int kMemoBlocks = kMemoMoves - kMemoFirstBlock;
constexpr int kMemoSymmetries = 8;
constexpr int kMemoHeaderInts = 5;
constexpr long kMemoFileSize =
    kMemoHeaderInts * 4 + kMemoBlocks * kMemoBlockSize * 16 + kMemoMoves * 4 + 2 * kMaxSquares * 8;
static_assert(kMemoFileSize == 358540);

constexpr const char* kMemoFileName = "velmDat.0";
// Room for the path of a file in the data sub-folder, terminator included:
// the longest folder a manager can name (a command line holds 4096
// characters) with the sub-folder and a file name. The brain refuses longer
// ones rather than cut them.
constexpr int kPathCapacity = 4096 + 128;

struct MemoEntry {
  std::uint64_t key;   // 0 marks a free slot
  std::int32_t value;  // the side that won from this position
  std::int32_t unused;
};

class VelmMemo {
 public:
  char fileName[kPathCapacity] = {};
  int loaded = 0;
  int saved = 0;
  int numMoves = 0;
  int parity = 0;
  int size = 0;
  MemoEntry lostTable[kMemoBlocks][kMemoBlockSize];
  int fillIndex[kMemoMoves];
  std::uint64_t moveKeys[kMemoMoves];
  std::uint64_t symKeys[kMemoSymmetries];
  std::uint64_t memoKeys[2][kMaxSquares];

  VelmMemo() = default;
  VelmMemo(const VelmMemo&) = delete;
  VelmMemo& operator=(const VelmMemo&) = delete;
  ~VelmMemo();

  void init(int width, int height, const std::uint64_t* keys, const char* folder);
  void makeMove(int x, int y);
  bool checkMove(int x, int y, int side, int& value);
  void saveGame(int winner, int ply);
  // Writes the file now (the destructor's write). True when it was written.
  bool writeFile();
};

}  // namespace velm
