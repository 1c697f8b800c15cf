// Engine state: construction defaults, the start of a game, game moves and
// the five test that every search node makes first.
#include "platform/clock.h"
#include "search/brain.h"

namespace velm {

VelmBrain::VelmBrain() {
  clock = platform::monotonicMs;
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
    if (last.pat[side][d] == patFive) return true;
  }
  return false;
}

}  // namespace velm
