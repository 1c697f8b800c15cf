// A search worker's construction, its games and the five test that every
// search node makes first.
#include "search/worker.h"

namespace velm {

SearchWorker::SearchWorker(VelmHash& sharedTables, VelmMemo& gameMemo, const EngineParams& owner)
    : time(owner), tables(sharedTables), memo(gameMemo), params(owner) {}

void SearchWorker::newGame(int width, int height, const PositionKeys& keys) {
  // Step 1. The time account starts afresh with the full match time.
  time.initTime();
  // Step 2. Empty board.
  board_.init(width, height, keys);
  // Step 3. List size beyond the full-width horizon.
  narrowWidth = (params.options & kOptionThreatsOnly) ? 0 : params.branchFactor;
}

bool SearchWorker::checkWin() const {
  // The square keeps the codes it had while empty: a five code for the side
  // that just played it means that side made five there.
  const BoardSquare& last = board_.square(board_.moveAt(board_.moveCount() - 1));
  const int side = board_.sideOther();
  for (int d = 0; d < kDirections; d++) {
    if (last.pat(side, d) == patFive) return true;
  }
  return false;
}

}  // namespace velm
