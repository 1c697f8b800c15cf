// Move generation: the forced lists of the threat analysis, the threat-only
// list, and the candidate squares scored by the pattern tables, best first.
#include <climits>

#include "log/log.h"
#include "search/worker.h"

namespace velm {

int SearchWorker::genMoves(int* list, int maxMoves, ListKind& genFlag) {
  // Step 1. A forced position answers with its own list: a won or lost
  // position with the one move that decides it, otherwise the replies that
  // the threats leave.
  int score = 0;
  const int forced = winAndForced(list, score);
  if (forced > 0) {
    genFlag = score == winScore    ? ListKind::kWin
              : score == -winScore ? ListKind::kLoss
                                   : ListKind::kForced;
    return forced;
  }

  const int x = board_.sideToMove();
  // Step 2. Threat-only list: squares where the side to move makes a four or
  // a three that can become an open four.
  if (maxMoves == 0) {
    genFlag = ListKind::kThreatOnly;
    const int* pc = board_.counts().patCount[x];
    if (pc[patFour] == 0 && pc[patOpenThree] == 0 && pc[patThree] == 0) return 0;
    int n = 0;
    forEachCandidate([&](int sq) {
      if (board_.patterns().crossThreats[board_.square(sq).cross[x]] & PatternTables::kThreatAttack)
        list[n++] = sq;
    });
    return n;
  }

  // Step 3. Score every candidate square and keep the best maxMoves of those
  // worth something, best first. Keeping a sorted list of at most maxMoves
  // entries while the squares come in index order (a new square goes after
  // every kept square of the same or a higher score, and one that would land
  // past the end is not kept) gives what a stable sort of all of them would,
  // without sorting the rest.
  if (board_.numSquares() < 1) erro("Internal: 89843358346thh");
  int k = 0;
  candScratch[0] = INT_MAX;
  int* const kept = candScratch + 1;
  forEachCandidate([&](int sq) {
    const int v = moveValue(board_.square(sq));
    if (v > 0) keepBest(kept, k, maxMoves, moveKey(v, sq));
  });
  // Step 4. No square is worth anything (a board without patterns): keep
  // the first candidates instead, so that the list is never empty.
  if (k == 0) {
    forEachCandidate(
        [&](int sq) { keepBest(kept, k, maxMoves, moveKey(moveValue(board_.square(sq)), sq)); });
    if (k == 0) erro("Internal: 89843358346thh");
  }
  // Step 5. Hand out the squares, best first, equal scores in square order.
  for (int i = 0; i < k; i++) list[i] = keySquare(kept[i]);
  genFlag = ListKind::kScored;
  return k;
}

void SearchWorker::keepBest(int* kept, int& count, int capacity, int item) {
  int j = count;
  if (count == capacity) {
    if (capacity == 0 || kept[capacity - 1] > item) return;
    j--;  // the last kept entry drops out
  } else {
    count++;
  }
  // Keys are distinct: the sentinel kept[-1] ends the loop.
  while (kept[j - 1] < item) {
    kept[j] = kept[j - 1];
    j--;
  }
  kept[j] = item;
}

int SearchWorker::moveValue(const BoardSquare& square) const {
  // The side to move's own chances weigh twice its opponent's.
  return 2 * board_.squareValue(square, board_.sideToMove()) +
         board_.squareValue(square, board_.sideOther());
}

}  // namespace velm
