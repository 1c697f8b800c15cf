// Engine state: construction defaults, the start of a game, game moves and
// the five test that every search node makes first.
#include "platform/clock.h"
#include "search/brain.h"

namespace velm {

// Huge pages make the search about a fifth faster once the tables are mapped
// (bench, 15x15 positions). But the first search of a process maps them 2 MB
// at a time, and when memory must be compacted for that one probe can stall
// for several hundred milliseconds: first replies of 430 ms were seen at
// 200 ms turns. A first move with at least this hard limit absorbs that.
constexpr int kHugePageMinMoveLimit = 5000;

// What the process holds besides the engine object and its tables: code,
// libraries, stacks, buffers. Measured at about 5 MB (resident, peak over a
// 20x20 game); twice that leaves room.
constexpr long long kProcessBaseBytes = 10LL << 20;

VelmBrain::VelmBrain() {
  clock = platform::monotonicMs;
}

void VelmBrain::adviseTablePages() {
  hugePages = firstMoveLimit() >= kHugePageMinMoveLimit;
}

int VelmBrain::tableBitsFor(long long maxMemory, bool& fits) {
  fits = true;
  if (maxMemory == 0) return kDefaultTableBits;
  const long long fixed = static_cast<long long>(sizeof(VelmBrain)) + kProcessBaseBytes;
  for (int bits = kDefaultTableBits; bits >= kMinTableBits; bits--) {
    if (fixed + static_cast<long long>(tableBytes(bits)) <= maxMemory) return bits;
  }
  fits = false;
  return kMinTableBits;
}

void VelmBrain::init(int width, int height) {
  // Step 1. The time account starts afresh with the full match time.
  initTime();
  // Step 2. Empty board, new position keys, cleared tables.
  VelmBoard::init(width, height);
  // Step 3. The game memory shares the position keys of this game.
  if (options & kOptionMemory) memo.init(width, height, &zobrist[0][0], dataPath);
  // Step 4. List size beyond the full-width horizon.
  narrowWidth = (options & kOptionThreatsOnly) ? 0 : branchFactor;
}

void VelmBrain::makeGameMove(int x, int y) {
  makeMove(sqIndex[x][y]);
  if (options & kOptionMemory) memo.makeMove(x, y);
}

bool VelmBrain::checkWin() const {
  // The square keeps the codes it had while empty: a five code for the side
  // that just played it means that side made five there.
  const BoardSquare& last = squares[undoStack[moveCount - 1].move];
  const int side = sideOther;
  for (int d = 0; d < kDirections; d++) {
    if (last.pat(side, d) == patFive) return true;
  }
  return false;
}

}  // namespace velm
