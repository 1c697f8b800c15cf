// Board geometry: square indices, the empty board's line keys, and the
// neighbourhoods that let makeMove/undoMove run without bounds tests.
#include <cstring>

#include "board/board.h"
#include "board/pattern_classifier.h"
#include "board/patterns.h"
#include "log/log.h"

namespace velm {

VelmBoard::VelmBoard() {
  // init() clears the counts but keeps the five squares, which are read only
  // together with a five count; start them defined all the same.
  std::memset(&counts_, 0, sizeof counts_);
  static_cast<PatternTables&>(*this) = patternTables();
}

void VelmBoard::init(int width, int height, const PositionKeys& keys) {
  // Step 1. Tables are sized for the largest board.
  if (width > kMaxSide || height > kMaxSide) erro("Size");

  // Step 2. Size and an empty move stack, side 0 to move.
  width_ = width;
  height_ = height;
  numSquares_ = width * height;
  moveCount_ = 0;
  sideToMove_ = 0;
  sideOther_ = 1;

  // Step 3. Square indices: the squares of one x are contiguous.
  for (int x = 0; x < width; x++) {
    for (int y = 0; y < height; y++) {
      const int sq = sqIndex(x, y);
      sqX_[sq] = x;
      sqY_[sq] = y;
    }
  }

  // Step 4. Empty squares with no pattern: the tables give code 0 for lines
  // without stones, so these agree with all-zero counts.
  for (int sq = 0; sq < numSquares_; sq++) {
    BoardSquare& s = squares[sq];
    s.stone = kCellEmpty;
    for (int d = 0; d < kDirections; d++) s.codes[d] = 0;
    s.cross[0] = 0;
    s.cross[1] = 0;
  }

  // No square is a candidate or has a four; squares beyond this board's
  // stay out of the sets.
  candSquares_.clear();
  stoneSquares_.clear();
  fourSquares_[0].clear();
  fourSquares_[1].clear();

  // Step 5. Counts relative to the empty board. The five squares are only
  // meaningful together with a five count, so they keep their values.
  for (int side = 0; side < 2; side++) {
    for (int c = 0; c < kPatternCodes; c++) counts_.patCount[side][c] = 0;
    for (int c = 0; c < kCrossCodes; c++) counts_.crossCount[side][c] = 0;
  }

  // Step 6. Line keys of the empty board: empty on the board, off beyond it.
  for (int x = 0; x < width; x++) {
    for (int y = 0; y < height; y++) {
      BoardSquare& s = squares[sqIndex(x, y)];
      for (int d = 0; d < kDirections; d++) {
        int lineKey = 0;
        for (int k = -kLineReach; k <= kLineReach; k++) {
          if (k == 0) continue;
          const int nx = x + k * dirX[d];
          const int ny = y + k * dirY[d];
          const bool onBoard = nx >= 0 && nx < width && ny >= 0 && ny < height;
          lineKey |= (onBoard ? kCellEmpty : kCellOff) << cellShift(k);
        }
        s.key[d] = lineKey;
      }
    }
  }

  // Step 7. Squares whose keys a stone changes.
  initSlots();

  // Step 8. The 5x5 block around each square, as bits of three words.
  for (int x = 0; x < width; x++) {
    for (int y = 0; y < height; y++) {
      const int sq = sqIndex(x, y);
      int near[kNearMax];
      int n = 0;
      for (int nx = x - kNearReach; nx <= x + kNearReach; nx++) {
        for (int ny = y - kNearReach; ny <= y + kNearReach; ny++) {
          if (nx < 0 || nx >= width || ny < 0 || ny >= height) continue;
          if (nx == x && ny == y) continue;
          near[n++] = sqIndex(nx, ny);
        }
      }
      // The squares run in increasing index order; the first word is kept
      // low enough that all kNearWords words exist.
      const int firstWord = (n > 0 ? near[0] : sq) / kSquareWordBits;
      nearWord[sq] = firstWord < kSquareWords - kNearWords ? firstWord : kSquareWords - kNearWords;
      for (int k = 0; k < kNearWords; k++) nearBits[sq][k] = 0;
      for (int i = 0; i < n; i++)
        nearBits[sq][near[i] / kSquareWordBits - nearWord[sq]] |= SquareSet::bit(near[i]);
    }
  }

  // Step 9. This game's position keys; the key carries over from the last
  // game, so every key of this one differs from a zero-based key by the
  // same constant.
  std::memcpy(zobrist, keys.zobrist, sizeof zobrist);
  initKey = key_;
}

void VelmBoard::copyGame(const VelmBoard& from, const PositionKeys& keys) {
  init(from.width_, from.height_, keys);
  key_ = initKey = from.initKey;
  for (int k = 0; k < from.moveCount_; k++) makeMove(from.undoStack[k].move);
}

void VelmBoard::rekey(const PositionKeys& keys) {
  int moves[kMaxSquares];
  const int count = moveCount_;
  for (int k = 0; k < count; k++) moves[k] = undoStack[k].move;
  key_ = 0;
  init(width_, height_, keys);
  for (int k = 0; k < count; k++) makeMove(moves[k]);
}

void VelmBoard::initSlots() {
  for (int d = 0; d < kDirections; d++) {
    const int step = dirX[d] * height_ + dirY[d];
    for (int j = 0; j < kSlotsPerDirection; j++) {
      const int k = slotDistance(j);
      const int i = d * kSlotsPerDirection + j;
      slotOffset[i] = k * step;
      // Seen from the neighbour, the square sits at offset -k; its cell
      // goes from empty to the side's code.
      slotFlip[0][i] = (kCellEmpty ^ 0) << cellShift(-k);
      slotFlip[1][i] = (kCellEmpty ^ 1) << cellShift(-k);
    }
  }
}

}  // namespace velm
