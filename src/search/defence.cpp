// Defence search: the three squares that defuse one unstoppable-four square,
// and the squares that defuse all of them at once.
#include "search/worker.h"

namespace velm {

void SearchWorker::difeFind(int* out, int sq, int side) const {
  const VelmBoard& b = board_;
  const BoardSquare& s = b.square(sq);
  const int x = b.sqX(sq);
  const int y = b.sqY(sq);
  // The square at offset t along direction d from the threat square.
  auto along = [&](int d, int t) { return b.sqIndex(x + t * dirX[d], y + t * dirY[d]); };

  // Step 1. The threat square itself.
  out[0] = sq;
  out[1] = sq;
  out[2] = sq;
  // Step 2. An open four: its two completion squares.
  for (int d = 0; d < kDirections; d++) {
    if (s.pat(side, d) == patOpenFour) {
      const int* t = b.patterns().lineDefence[s.key[d]][side];
      out[1] = along(d, t[0]);
      out[2] = along(d, t[1]);
      return;
    }
  }
  // Step 3. Two fours: the completion square of each of the first two.
  int found = 0;
  for (int d = 0; d < kDirections && found < 2; d++) {
    if (s.pat(side, d) == patFour) {
      out[1 + found] = along(d, b.patterns().lineDefence[s.key[d]][side][0]);
      found++;
    }
  }
}

void SearchWorker::difeCalc(int* moves, int& count, const int* threats, int threatCount, int side) {
  // Step 1. Mark the first threat's triple.
  int a[3];
  difeFind(a, threats[0], side);
  for (int k = 0; k < 3; k++) sqMark[a[k]] = 1;
  // Step 2. Each later threat confirms the marked squares it shares.
  for (int i = 1; i < threatCount; i++) {
    int b[3];
    difeFind(b, threats[i], side);
    for (int k = 0; k < 3; k++) {
      if (sqMark[b[k]] > 0) sqMark[b[k]]++;
    }
  }
  // Step 3. Squares confirmed by every threat answer them all; clear marks.
  for (int k = 0; k < 3; k++) {
    if (sqMark[a[k]] == threatCount) moves[count++] = a[k];
    sqMark[a[k]] = 0;
  }
}

}  // namespace velm
