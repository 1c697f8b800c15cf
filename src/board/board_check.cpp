// verifyBoard: recomputes from the stones everything that makeMove/undoMove
// keep incrementally and compares. Slow (a full pass over the board); Debug
// builds run it after every make and undo, tests after chosen moves.
//
// What it checks:
//  - sides and move stack: sideOther = 1 - sideToMove, sideToMove is the
//    parity of moveCount, the k-th move of the stack holds a stone of side
//    k % 2, and no other square holds a stone; each record's saved line
//    states are those of the squares its stone's frozen keys give;
//  - every empty square's four keys, both sides' codes and cross indices;
//  - the count block's pattern and cross counts, relative to the empty
//    board (the code-0 entries are the recount minus the empty board's);
//  - candidates: no stone is a candidate, and every empty square within
//    Chebyshev distance 2 of a stone is one. An empty candidate far from all
//    stones is accepted: undoing a move that was not made on a candidate
//    leaves its square marked, and that is the intended behaviour;
//  - the position key: the key at init XOR the numbers of the stones;
//  - the square sets: candSquares holds the candidates, stoneSquares the
//    stones, fourSquares[s] the empty squares with a side-s four code, and
//    none of them anything off the board.
// The five squares are not judged: they record the history of the last
// moves, not a property of the position.
#include <bit>
#include <cstdarg>
#include <cstdio>

#include "board/board.h"

namespace velm {

namespace {

// Writes the reason of a mismatch and returns false.
bool mismatch(char* why, int whySize, const char* format, ...) {
  if (why != nullptr && whySize > 0) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(why, static_cast<std::size_t>(whySize), format, args);
    va_end(args);
  }
  return false;
}

// The cross index that a square's own codes for `side` give.
int codesCrossIndex(const BoardSquare& s, int side) {
  return crossIndex(s.pat(side, 0), s.pat(side, 1), s.pat(side, 2), s.pat(side, 3));
}

}  // namespace

bool VelmBoard::verifyBoard(char* why, int whySize) const {
  // Step 1. Sides and the move stack against the stones.
  if (sideOther_ != 1 - sideToMove_ || sideToMove_ != moveCount_ % 2)
    return mismatch(why, whySize, "sides %d/%d after %d moves", sideToMove_, sideOther_,
                    moveCount_);
  if (moveCount_ < 0 || moveCount_ > numSquares_)
    return mismatch(why, whySize, "moveCount %d", moveCount_);
  for (int k = 0; k < moveCount_; k++) {
    const int sq = undoStack[k].move;
    if (sq < 0 || sq >= numSquares_ || squares[sq].stone != k % 2)
      return mismatch(why, whySize, "move %d on square %d has no stone of side %d", k, sq, k % 2);
    // The stone's keys are frozen as they were when it was played, so they
    // still give the squares whose line state undo will put back.
    const UndoRecord& rec = undoStack[k];
    std::uint32_t rest = emptySlots(squares[sq]);
    bool same = rec.lineCount == std::popcount(rest);
    for (int j = 0; same && rest != 0; j++, rest &= rest - 1)
      same = rec.lines[j].square == sq + slotOffset[std::countr_zero(rest)];
    if (!same)
      return mismatch(why, whySize, "move %d: the saved line states are not its slots' squares", k);
  }
  int stones = 0;
  std::uint64_t stoneKey = initKey;
  for (int sq = 0; sq < numSquares_; sq++) {
    const int s = squares[sq].stone;
    if (s == kCellEmpty) continue;
    if (s != 0 && s != 1) return mismatch(why, whySize, "square %d holds %d", sq, s);
    stones++;
    stoneKey ^= zobrist[s][sq];
  }
  if (stones != moveCount_)
    return mismatch(why, whySize, "%d stones for %d moves", stones, moveCount_);

  // Step 2. Position key.
  if (stoneKey != key_) return mismatch(why, whySize, "position key differs from the stones'");

  // Step 3. Keys and codes of the empty squares, and the recount.
  CountBlock recount = {};
  for (int side = 0; side < 2; side++) {
    recount.patCount[side][0] = -kDirections * numSquares_;
    recount.crossCount[side][0] = -numSquares_;
  }
  for (int x = 0; x < width_; x++) {
    for (int y = 0; y < height_; y++) {
      const int sq = sqIndex(x, y);
      const BoardSquare& s = squares[sq];
      if (s.stone != kCellEmpty) continue;
      for (int d = 0; d < kDirections; d++) {
        int expected = 0;
        int bit = 0;
        for (int k = -kLineReach; k <= kLineReach; k++) {
          if (k == 0) continue;
          const int nx = x + k * dirX[d];
          const int ny = y + k * dirY[d];
          const bool onBoard = nx >= 0 && nx < width_ && ny >= 0 && ny < height_;
          expected |= (onBoard ? squares[sqIndex(nx, ny)].stone : kCellOff) << bit;
          bit += 2;
        }
        if (s.key[d] != expected)
          return mismatch(why, whySize, "key of (%d,%d) dir %d is %04X, stones give %04X", x, y, d,
                          s.key[d], expected);
        for (int side = 0; side < 2; side++) {
          if (s.pat(side, d) != linePattern[expected][side])
            return mismatch(why, whySize, "code of (%d,%d) dir %d side %d is %d, table gives %d", x,
                            y, d, side, s.pat(side, d), linePattern[expected][side]);
          recount.patCount[side][s.pat(side, d)]++;
        }
      }
      for (int side = 0; side < 2; side++) {
        const int index = codesCrossIndex(s, side);
        if (s.cross[side] != index)
          return mismatch(why, whySize, "cross index of (%d,%d) side %d is %d, codes give %d", x, y,
                          side, s.cross[side], index);
        recount.crossCount[side][squareCross(s, side)]++;
      }
    }
  }

  // Step 4. The count block.
  for (int side = 0; side < 2; side++) {
    for (int c = 0; c < kPatternCodes; c++)
      if (counts_.patCount[side][c] != recount.patCount[side][c])
        return mismatch(why, whySize, "patCount[%d][%d] is %d, recount %d", side, c,
                        counts_.patCount[side][c], recount.patCount[side][c]);
    for (int c = 0; c < kCrossCodes; c++)
      if (counts_.crossCount[side][c] != recount.crossCount[side][c])
        return mismatch(why, whySize, "crossCount[%d][%d] is %d, recount %d", side, c,
                        counts_.crossCount[side][c], recount.crossCount[side][c]);
  }

  // Step 5. Candidates.
  for (int x = 0; x < width_; x++) {
    for (int y = 0; y < height_; y++) {
      const BoardSquare& s = squares[sqIndex(x, y)];
      if (s.stone != kCellEmpty) {
        if (isCandidate(sqIndex(x, y)))
          return mismatch(why, whySize, "stone on (%d,%d) is a candidate", x, y);
        continue;
      }
      bool nearStone = false;
      for (int nx = x - kNearReach; nx <= x + kNearReach && !nearStone; nx++)
        for (int ny = y - kNearReach; ny <= y + kNearReach && !nearStone; ny++)
          if (nx >= 0 && nx < width_ && ny >= 0 && ny < height_ &&
              squares[sqIndex(nx, ny)].stone != kCellEmpty)
            nearStone = true;
      if (nearStone && !isCandidate(sqIndex(x, y)))
        return mismatch(why, whySize, "(%d,%d) is near a stone but no candidate", x, y);
    }
  }

  // Step 6. The square sets against the flags and codes they mirror.
  for (int sq = 0; sq < kMaxSquares; sq++) {
    const bool onBoard = sq < numSquares_;
    const BoardSquare& s = squares[sq];
    if (candSquares_.contains(sq) && !onBoard)
      return mismatch(why, whySize, "square %d: a candidate off the board", sq);
    if (stoneSquares_.contains(sq) != (onBoard && s.stone != kCellEmpty))
      return mismatch(why, whySize, "square %d: stone set and stone differ", sq);
    for (int side = 0; side < 2; side++) {
      const int index = codesCrossIndex(s, side);
      const bool four = onBoard && s.stone == kCellEmpty && (crossFlags[index] & kCrossFour) != 0;
      if (fourSquares_[side].contains(sq) != four)
        return mismatch(why, whySize, "square %d: four set of side %d differs from its codes", sq,
                        side);
    }
  }
  return true;
}

}  // namespace velm
