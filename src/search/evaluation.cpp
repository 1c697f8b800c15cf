// Static evaluation of a search leaf, from the side to move's view: the
// plain weighted count (boardValueBase) or the forced-line evaluation
// (boardValueRico), which follows every forced reply list to its end.
#include "search/worker.h"

namespace velm {

namespace {

// Weighted sum of one side's line patterns (codes 1..8; fives are settled
// before any weighting) and pattern crossings.
int weighedCounts(const CountBlock& c, int side, const int* patW, const int* crossW) {
  int sum = 0;
  for (int code = patClosedTwo; code <= patOpenFour; code++)
    sum += c.patCount[side][code] * patW[code];
  for (int k = crossDoubleThree; k <= crossDoubleFour; k++)
    sum += c.crossCount[side][k] * crossW[k];
  return sum;
}

int own(const CountBlock& c, int side) {
  return weighedCounts(c, side, patWeight, crossWeight);
}
int opp(const CountBlock& c, int side) {
  return weighedCounts(c, side, patWeightOpp, crossWeightOpp);
}

}  // namespace

int SearchWorker::boardValueBase() {
  const CountBlock& counts = board_.counts();
  const int x = board_.sideToMove();
  const int y = board_.sideOther();
  // Step 1. Five now.
  if (counts.patCount[x][patFive] >= 1) return winScore;
  // Step 2. Two opponent fives cannot both be blocked.
  if (counts.patCount[y][patFive] >= 2) return -winScore;
  // Step 3. One opponent five: value after the forced block.
  if (counts.patCount[y][patFive] == 1) {
    play(fiveSquare(y));
    const int v = boardValueBase();
    takeBack();
    return -v;
  }
  // Step 4. An own unstoppable four.
  if (counts.patCount[x][patOpenFour] >= 1 || counts.crossCount[x][crossDoubleFour] >= 1)
    return winScore;
  // Step 5. Weighted counts.
  return own(counts, x) - opp(counts, y);
}

// The side to move counts twice.
int SearchWorker::quietValue(const CountBlock& c, int toMove) {
  return 2 * own(c, toMove) - own(c, 1 - toMove);
}

bool SearchWorker::forcedLineStopped() {
  if (!searching) return false;
  if (!stopSearch && time.timeOver()) stopSearch = true;
  return stopSearch;
}

int SearchWorker::boardValueRico() {
  // Step 1. Cached.
  int v = retriveTT0();
  if (v != NO_SCORE) return v;
  // Step 2. Threats; this level's replies live in this frame.
  int replies[kReplyListCapacity];
  int score = 0;
  const int n = winAndForced(replies, score);
  if (n == 0) {
    // Step 3. Quiet.
    v = quietValue();
  } else if (score == winScore || score == -winScore) {
    // Step 4. Proven.
    v = score;
  } else {
    // Step 5. Follow every forced reply. In sharp positions the forced lines
    // branch into millions of positions, so within a decision each reply
    // counts against the time checks as a node does; a stopped line returns
    // its static value, unstored (the search discards it).
    // A single reply (mostly the block of a five) is looked up in the table
    // before it is played, and not played when found: the table's value is
    // what the position's own evaluation would return first thing, without
    // a time check, and taking the move back would leave the board as it
    // was (a reply square is always a candidate; the test keeps even that
    // true). About half of the single replies are found, against a few in
    // a hundred of the others, whose probe would only wait for memory
    // that the move's own prefetch loads anyway.
    // A reply that makes a four (half of all the replies played) leaves the
    // opponent one block: it is looked up too, then valued by fourValue,
    // which plays it only when the position after the block is missing
    // from the table as well (about half the time). Most of the other
    // replies leave a quiet position, valued by quietAfter from the counts
    // the move would leave, without playing it.
    // The table slots of the positions after each reply, and after each
    // four's block, start loading first: the loop reads most of them with
    // no move played in between to hide the wait. (The blocks are found
    // again in the loop rather than kept in a second list in this frame,
    // which recursion multiplies.)
    for (int i = 0; i < n; i++) {
      const int sq = replies[i];
      const std::uint64_t afterKey = board_.keyAfter(sq);
      const int block = fourBlock(sq);
      tables.prefetchTT0(afterKey);
      if (block >= 0) tables.prefetchTT0(afterKey ^ board_.stoneKey(board_.sideOther(), block));
    }
    v = NO_SCORE;
    for (int i = 0; i < n; i++) {
      if (forcedLineStopped()) return quietValue();
      const int sq = replies[i];
      const bool candidate = board_.isCandidate(sq);
      const int block = fourBlock(sq);
      int w =
          (n == 1 && candidate) || block >= 0 ? tables.retriveTT0(board_.keyAfter(sq)) : NO_SCORE;
      if (w == NO_SCORE) {
        if (block >= 0) {
          w = fourValue(sq, block);
        } else if (!candidate || !quietAfter(sq, w)) {
          play(sq);
          w = boardValueRico();
          takeBack();
        }
        if (searching && stopSearch) return quietValue();
      }
      if (-w > v) v = -w;
      if (v >= winScore) break;
    }
  }
  // Step 6. Cache.
  storeTT0(v);
  // Step 7. A proven result holds at every search depth.
  if (v == winScore || v == -winScore) storeTT(UNLIMITED, UNLIMITED, v, BOUND_EXACT, -1);
  return v;
}

// The value boardValueRico would give the position after the side to move
// plays the four sq, whose position is not in tt0 and leaves the opponent
// exactly one five square, `block`, to answer (soleFiveAfter). That
// evaluation's threats would list the single reply `block`, so it would
// check the time, then look the position after the block up in tt0 and
// play it only when missing: done here in that order with the same stores,
// playing both stones only when the table lacks the block's position. A
// four that is not played leaves the board as it was: sq is a candidate,
// as undo leaves it. A stopped line returns at once (the caller sees
// stopSearch).
int SearchWorker::fourValue(int sq, int block) {
  const std::uint64_t fourKey = board_.keyAfter(sq);
  if (forcedLineStopped()) return NO_SCORE;
  int w = board_.candidateAfter(sq, block)
              ? tables.retriveTT0(fourKey ^ board_.stoneKey(board_.sideOther(), block))
              : NO_SCORE;
  if (w == NO_SCORE) {
    // The slots of the four alone start loading: the value is stored there
    // once the line is evaluated. The block's slot was just probed.
    tables.prefetch(fourKey);
    board_.makeMove(sq);
    play(block);
    w = boardValueRico();
    takeBack();
    takeBack();
    if (searching && stopSearch) return NO_SCORE;
  }
  const int v = -w;
  tables.storeTT0(fourKey, v);
  if (v == winScore || v == -winScore)
    tables.storeTT(fourKey, UNLIMITED, UNLIMITED, v, BOUND_EXACT, -1);
  return v;
}

// Whether the position after the side to move plays the candidate sq is
// quiet, read from the counts the move would leave; if so, its value into
// `value`. boardValueRico would find nothing to follow there and store the
// quiet value of those counts: done here with the same stores, without
// playing the move, whose undo would leave the board as it is. A position
// already in tt0 holds that same value, so storing it again changes
// nothing.
bool SearchWorker::quietAfter(int sq, int& value) {
  CountBlock after;
  board_.countsAfter(sq, after);
  if (!isQuiet(after)) return false;
  const std::uint64_t afterKey = board_.keyAfter(sq);
  value = quietValue(after, board_.sideOther());
  tables.storeTT0(afterKey, value);
  if (value == winScore || value == -winScore)
    tables.storeTT(afterKey, UNLIMITED, UNLIMITED, value, BOUND_EXACT, -1);
  return true;
}

int SearchWorker::boardValue() {
  return (params.options & kOptionRichEval) ? boardValueRico() : boardValueBase();
}

}  // namespace velm
