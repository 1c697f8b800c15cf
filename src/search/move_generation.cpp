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
    for (int sq = 0; sq < numSquares; sq++) {
      if (squares[sq].candidate && attCheck(squares[sq].pat[x])) list[n++] = sq;
    }
    return n;
  }

  // Step 3. Scored list.
  if (numSquares < 1) erro("Internal: 89843358346thh");
  // Step 4. Candidate squares worth something.
  int k = 0;
  for (int sq = 0; sq < numSquares; sq++) {
    if (!squares[sq].candidate) continue;
    const int v = moveValue(&squares[sq]);
    if (v > 0) candScratch[k++] = {sq, v};
  }
  // Step 5. Nothing worth anything: every candidate square.
  if (k == 0) {
    for (int sq = 0; sq < numSquares; sq++) {
      if (squares[sq].candidate) candScratch[k++] = {sq, moveValue(&squares[sq])};
    }
    if (k == 0) erro("Internal: 89843358346thh");
  }
  // Step 6. Best first, equal scores in square order.
  if (k >= 2) sort(candScratch, k);
  // Step 7. The best maxMoves of them.
  const int n = k < maxMoves ? k : maxMoves;
  for (int i = 0; i < n; i++) list[i] = candScratch[i].move;
  genFlag = kGenScored;
  return n;
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
