// Move generation: the forced lists of the threat analysis, the threat-only
// list, and the candidate squares scored by the pattern tables, best first.
#include "log/log.h"
#include "search/brain.h"

namespace velm {

namespace {

// genFlag of the two lists made here (the forced lists carry +-winScore or 0).
constexpr int kGenThreatOnly = 1;
constexpr int kGenScored = 2;

}  // namespace

int VelmBrain::genMoves(int* list, int maxMoves, int& genFlag) {
  // Step 1. A forced position answers with its own list.
  const int forced = winAndForced(list, genFlag);
  if (forced > 0) return forced;

  const int x = sideToMove;
  // Step 2. Threat-only list: squares where the side to move makes a four or
  // a three that can become an open four.
  if (maxMoves == 0) {
    genFlag = kGenThreatOnly;
    const int* pc = counts.patCount[x];
    if (pc[patFour] == 0 && pc[patOpenThree] == 0 && pc[patThree] == 0) return 0;
    int n = 0;
    forEachCandidate([&](int sq) {
      if (attCheck(squares[sq].pat[x])) list[n++] = sq;
    });
    return n;
  }

  // Step 3. Scored list.
  if (numSquares < 1) erro("Internal: 89843358346thh");
  // Steps 4 and 6 in one pass. Sorting every candidate stably, best first,
  // and keeping the first maxMoves is the same as keeping a sorted list of
  // at most maxMoves entries while the squares come in index order: a new
  // square goes after every kept square of the same or a higher score, and
  // one that would land past the end is not kept.
  int k = 0;
  forEachCandidate([&](int sq) {
    const int v = moveValue(&squares[sq]);
    if (v > 0) keepBest(candScratch, k, maxMoves, {sq, v});
  });
  // Step 5. Nothing worth anything: every candidate square.
  if (k == 0) {
    forEachCandidate([&](int sq) {
      keepBest(candScratch, k, maxMoves, {sq, moveValue(&squares[sq])});
    });
    if (k == 0) erro("Internal: 89843358346thh");
  }
  // Step 7. The best maxMoves of them, best first, equal scores in square
  // order.
  for (int i = 0; i < k; i++) list[i] = candScratch[i].move;
  genFlag = kGenScored;
  return k;
}

void VelmBrain::keepBest(ScoredMove* kept, int& count, int capacity, ScoredMove item) {
  int j = count;
  if (count == capacity) {
    if (capacity == 0 || kept[capacity - 1].score >= item.score) return;
    j--;  // the last kept entry drops out
  } else {
    count++;
  }
  while (j > 0 && kept[j - 1].score < item.score) {
    kept[j] = kept[j - 1];
    j--;
  }
  kept[j] = item;
}

int VelmBrain::moveValue(const BoardSquare* square) const {
  // The side to move's own chances weigh twice its opponent's.
  return 2 * squareValue(*square, sideToMove) + squareValue(*square, sideOther);
}

void VelmBrain::sort(ScoredMove* list, int count) {
  for (int i = 1; i < count; i++) {
    const ScoredMove item = list[i];
    int j = i;
    while (j > 0 && list[j - 1].score < item.score) {
      list[j] = list[j - 1];
      j--;
    }
    list[j] = item;
  }
}

}  // namespace velm
