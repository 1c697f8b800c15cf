// Board geometry: square indices, the empty board's line keys, and the
// neighbourhood lists that let makeMove/undoMove run without bounds tests.
#include "board/board.h"
#include "board/pattern_classifier.h"
#include "board/patterns.h"
#include "log/log.h"

namespace velm {

void VelmBoard::init(int width, int height) {
  // Step 1. Tables are sized for the largest board.
  if (width > kMaxSide || height > kMaxSide) erro("Size");

  // Step 2. Size and an empty move stack, side 0 to move.
  boardWidth = width;
  boardHeight = height;
  numSquares = width * height;
  moveCount = 0;
  sideToMove = 0;
  sideOther = 1;

  // Step 3. Square indices: the squares of one x are contiguous.
  for (int x = 0; x < width; x++) {
    for (int y = 0; y < height; y++) {
      const int sq = x * height + y;
      sqIndex[x][y] = sq;
      sqX[sq] = x;
      sqY[sq] = y;
    }
  }

  // Step 4. Empty squares with no pattern: the tables give code 0 for lines
  // without stones, so these agree with all-zero counts.
  for (int sq = 0; sq < numSquares; sq++) {
    BoardSquare& s = squares[sq];
    s.stone = kCellEmpty;
    for (int d = 0; d < kDirections; d++) s.codes[d] = 0;
    s.cross[0] = 0;
    s.cross[1] = 0;
    sqMark[sq] = 0;
  }

  // No square is a candidate or has a four; squares beyond this board's
  // stay out of the sets.
  candSquares.clear();
  stoneSquares.clear();
  fourSquares[0].clear();
  fourSquares[1].clear();

  // Step 5. Column pointers.
  for (int x = 0; x < width; x++) column[x] = &squares[x * height];

  // Step 6. Counts relative to the empty board. The five squares are only
  // meaningful together with a five count, so they keep their values.
  for (int side = 0; side < 2; side++) {
    for (int c = 0; c < kPatternCodes; c++) counts.patCount[side][c] = 0;
    for (int c = 0; c < kCrossCodes; c++) counts.crossCount[side][c] = 0;
  }

  // Step 7. Line keys of the empty board: empty on the board, off beyond it.
  for (int x = 0; x < width; x++) {
    for (int y = 0; y < height; y++) {
      BoardSquare& s = squares[sqIndex[x][y]];
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

  // Step 8. Squares whose keys a stone changes.
  initSlots();

  // Step 9. The 5x5 block around each square, row by row.
  for (int x = 0; x < width; x++) {
    for (int y = 0; y < height; y++) {
      const int sq = sqIndex[x][y];
      int n = 0;
      for (int nx = x - kNearReach; nx <= x + kNearReach; nx++) {
        for (int ny = y - kNearReach; ny <= y + kNearReach; ny++) {
          if (nx < 0 || nx >= width || ny < 0 || ny >= height) continue;
          if (nx == x && ny == y) continue;
          near[sq][n++] = sqIndex[nx][ny];
        }
      }
      nearCount[sq] = n;
      // The same squares as bits (near[sq] runs in increasing index order);
      // the first word is kept low enough that all kNearWords words exist.
      const int firstWord = (n > 0 ? near[sq][0] : sq) / kSquareWordBits;
      nearWord[sq] = firstWord < kSquareWords - kNearWords ? firstWord : kSquareWords - kNearWords;
      for (int k = 0; k < kNearWords; k++) nearBits[sq][k] = 0;
      for (int i = 0; i < n; i++) {
        nearBits[sq][near[sq][i] / kSquareWordBits - nearWord[sq]] |= SquareSet::bit(near[sq][i]);
      }
    }
  }

  // Step 10. New random numbers and empty tables; the key carries over.
  initKey = key;
  initTT();
}

void VelmBoard::initSlots() {
  for (int d = 0; d < kDirections; d++) {
    const int step = dirX[d] * boardHeight + dirY[d];
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
