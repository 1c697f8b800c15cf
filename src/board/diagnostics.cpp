// Printing board data for a developer. Standard output is the protocol
// channel, so the brain never calls these; velmaro-bench's `position`
// command does.
#include <cstdio>

#include "board/board.h"

namespace velm {

namespace {

// Symbol of a cell code, printed with a space after it.
constexpr char kCellSymbol[4] = {'o', 'x', '.', '#'};

void printCell(int code) {
  if (code >= 0 && code <= kCellOff) std::printf("%c ", kCellSymbol[code]);
}

// "[a, b, ..., ]" of entries first..last of one count array.
void printCounts(const int* values, int first, int last) {
  std::printf("[");
  for (int i = first; i <= last; i++) std::printf("%d, ", values[i]);
  std::printf("]");
}

}  // namespace

void VelmBoard::printKey(int lineKey) const {
  std::printf(" ");
  for (int i = 0; i < kLineReach; i++) printCell((lineKey >> (2 * i)) & kCellMask);
  printCell(kCellEmpty);
  for (int i = 0; i < kLineReach; i++) printCell((lineKey >> (8 + 2 * i)) & kCellMask);
}

void VelmBoard::printMoveSeq(const int* moves, int n) const {
  for (int i = 0; i < n; i++) std::printf("[%d,%d]", sqX(moves[i]) + 1, sqY(moves[i]) + 1);
}

void VelmBoard::printInve() const {
  for (int side = 0; side < 2; side++) {
    std::printf(side == 0 ? "o: " : "\tx: ");
    printCounts(counts_.patCount[side], 1, kPatternCodes - 1);
    std::printf(" \t");
    printCounts(counts_.crossCount[side], 1, kCrossCodes - 1);
  }
  std::printf("\n");
  std::fflush(stdout);
}

void VelmBoard::plotBoard() const {
  // Column numbers (x) on top, row numbers (y) on the left, three
  // characters per column so that two-digit numbers line up.
  std::printf("   ");
  for (int x = 0; x < width_; x++) std::printf("%3d", x);
  std::printf("\n");
  for (int y = 0; y < height_; y++) {
    std::printf("%2d ", y);
    for (int x = 0; x < width_; x++) std::printf("  %c", kCellSymbol[squares[sqIndex(x, y)].stone]);
    std::printf("\n");
  }
  std::fflush(stdout);
}

}  // namespace velm
