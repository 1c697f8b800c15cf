#include "memo/memo.h"

#include <cstring>

#include "log/log.h"
#include "memo/memo_file.h"
#include "platform/random.h"

namespace velm {

namespace {

// Moves recorded before saveGame() has a position to choose: the first
// candidate is the position after move kMemoFirstBlock + 1, and the choice
// needs one more for the parity adjustment.
constexpr int kMemoMinMovesToSave = kMemoFirstBlock + 2;

// Grid index of the image of (x, y) under symmetry k on a board of side
// m + 1: k = 0..3 turn the board by 0, 90, 180 and 270 degrees, k = 4..7
// mirror it left-right, top-bottom and across the two diagonals.
inline int symmetricIndex(int k, int x, int y, int m) {
  constexpr int w = kMemoGridWidth;
  // clang-format off
  switch (k) {
    case 0:  return w * x       + y;
    case 1:  return w * (m - y) + x;
    case 2:  return w * (m - x) + (m - y);
    case 3:  return w * y       + (m - x);
    case 4:  return w * (m - x) + y;
    case 5:  return w * x       + (m - y);
    case 6:  return w * y       + x;
    default: return w * (m - y) + (m - x);
  }
  // clang-format on
}

}  // namespace

VelmMemo::~VelmMemo() {
  if (loaded == 1) writeFile();
}

void VelmMemo::init(int width, int height, const std::uint64_t* keys, const char* folder) {
  // Step 1. Same board as the tables: a new game keeps what was learned.
  if (!(loaded == 1 && size == width && size == height)) {
    // Step 2. The file name. No folder, or one too long for the name and
    // its temporary twin (refused rather than cut, since a cut name would
    // point somewhere else), leaves the memory to this run only.
    loaded = 0;
    fileName[0] = '\0';
    std::size_t folderLength = std::strlen(folder);
    std::size_t nameLength = std::strlen(kMemoFileName);
    if (folderLength > 0 && folderLength + nameLength + kMemoTempSuffixLength < sizeof fileName) {
      std::memcpy(fileName, folder, folderLength);
      std::memcpy(fileName + folderLength, kMemoFileName, nameLength + 1);
    }

    // Step 3. The file, if it fits this board.
    if (readMemoFile(*this, width, height)) loaded = 1;

    // Step 4. Only square boards have the eight symmetries.
    if (loaded == 0 && width != height) erro("Memo only works for squared boards");

    // Step 5. Fresh tables, keyed by the engine's current numbers.
    if (loaded == 0) {
      size = width;
      std::memcpy(memoKeys, keys, sizeof memoKeys);
      std::memset(lostTable, 0, sizeof lostTable);
      std::memset(fillIndex, 0, sizeof fillIndex);
      loaded = 1;
    }
  }

  // Step 6. A new game record.
  saved = 0;
  numMoves = 0;
  parity = 0;
  std::memset(symKeys, 0, sizeof symKeys);
}

// (x, y) must be a square of the board of side `size`.
void VelmMemo::makeMove(int x, int y) {
  if (numMoves >= kMemoMoves) return;
  const int m = size - 1;
  std::uint64_t smallest = ~std::uint64_t{0};
  for (int k = 0; k < kMemoSymmetries; k++) {
    symKeys[k] ^= memoKeys[parity][symmetricIndex(k, x, y, m)];
    if (symKeys[k] < smallest) smallest = symKeys[k];
  }
  moveKeys[numMoves] = smallest;
  parity = 1 - parity;
  numMoves++;
}

bool VelmMemo::checkMove(int x, int y, int /*side*/, int& value) {
  // Step 1. Only the positions after moves 9 to 30 are ever stored.
  const int block = numMoves - kMemoFirstBlock;
  if (block < 0 || block >= kMemoBlocks) return false;

  // Step 2. The canonical key after the move, leaving symKeys as they are.
  const int m = size - 1;
  std::uint64_t canonical = ~std::uint64_t{0};
  for (int k = 0; k < kMemoSymmetries; k++) {
    std::uint64_t key = symKeys[k] ^ memoKeys[parity][symmetricIndex(k, x, y, m)];
    if (key < canonical) canonical = key;
  }

  // Step 3. Scan the block in slot order.
  for (const MemoEntry& e : lostTable[block]) {
    if (e.key == canonical) {
      value = e.value;
      return true;
    }
  }
  return false;
}

void VelmMemo::saveGame(int winner, int ply) {
  // Step 1. One position per game.
  if (saved == 1) return;

  // Step 2. Too early in the game there is no position of the losing side to
  // store. The game stays unsaved so that a loss found again later in it,
  // once enough moves are recorded, can still store one.
  const int n = numMoves;
  if (n < kMemoMinMovesToSave) return;
  saved = 1;

  // Step 3. A random position after move i + 9 with i of the parity of ply:
  // one reached by a move of the losing side.
  int i = platform::nextRandom() % (n - kMemoFirstBlock - 1);
  if ((i & 1) != (ply & 1)) i++;
  const std::uint64_t key = moveKeys[i + kMemoFirstBlock];

  // Step 4. A position the block already holds only takes the new winner.
  MemoEntry* block = lostTable[i];
  for (int slot = 0; slot < kMemoBlockSize; slot++) {
    if (block[slot].key == key) {
      block[slot].value = winner;
      return;
    }
  }

  // Step 5. Otherwise the next slot of the block's ring, over the oldest.
  MemoEntry& e = block[fillIndex[i]];
  e.key = key;
  e.value = winner;
  fillIndex[i] = (fillIndex[i] + 1) % kMemoBlockSize;
}

}  // namespace velm
