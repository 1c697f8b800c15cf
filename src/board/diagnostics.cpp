// Printing board data for a developer. Standard output is the protocol
// channel, so the engine never calls these while it plays.
#include <cstdio>

#include "board/board.h"

namespace velm {

namespace {

// Symbol of a cell code, printed with a space after it.
constexpr char kCellSymbol[4] = {'o', 'x', '.', '#'};

// Values of the matrix handed to plot_board.
constexpr int kPlotSide0 = 1;
constexpr int kPlotSide1 = -1;
constexpr int kPlotEmpty = 0;

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
  for (int i = 0; i < kLineReach; i++) printCell((lineKey >> (2 * i)) & 3);
  printCell(kCellEmpty);
  for (int i = 0; i < kLineReach; i++) printCell((lineKey >> (8 + 2 * i)) & 3);
}

void VelmBoard::printLine(const int* line) const {
  std::printf(" ");
  for (int i = 0; i < kLineCells; i++) printCell(line[i]);
}

void VelmBoard::printVec(const int* values, int n) const {
  for (int i = 0; i < n; i++) std::printf("%d ", values[i]);
}

void VelmBoard::printMoveSeq(const int* moves, int n) const {
  for (int i = 0; i < n; i++) std::printf("[%d,%d]", sqX[moves[i]] + 1, sqY[moves[i]] + 1);
}

void VelmBoard::printInve() const {
  for (int side = 0; side < 2; side++) {
    std::printf(side == 0 ? "o: " : "\tx: ");
    printCounts(counts.patCount[side], 1, kPatternCodes - 1);
    std::printf(" \t");
    printCounts(counts.crossCount[side], 1, kCrossCodes - 1);
  }
  std::printf("\n");
  std::fflush(stdout);
}

void VelmBoard::plotBoard() const {
  // The whole board, whatever its size (at most 20 x 20).
  int cells[kMaxSquares];
  for (int sq = 0; sq < numSquares; sq++) {
    const int s = squares[sq].stone;
    cells[sq] = s == 0 ? kPlotSide0 : s == 1 ? kPlotSide1 : kPlotEmpty;
  }
  plot_board(cells, boardWidth, boardHeight);
}

void plot_board(const int* cells, int width, int height) {
  // Column numbers (x) on top, row numbers (y) on the left, three
  // characters per column so that two-digit numbers line up.
  std::printf("   ");
  for (int x = 0; x < width; x++) std::printf("%3d", x);
  std::printf("\n");
  for (int y = 0; y < height; y++) {
    std::printf("%2d ", y);
    for (int x = 0; x < width; x++) {
      const int v = cells[x * height + y];
      const char c = v == kPlotSide0 ? 'o' : v == kPlotSide1 ? 'x' : v == kPlotEmpty ? '.' : '?';
      std::printf("  %c", c);
    }
    std::printf("\n");
  }
  std::fflush(stdout);
}

}  // namespace velm
