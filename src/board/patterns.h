// Pattern vocabulary of the engine: cell codes, line directions, pattern and
// cross codes, the weights of the evaluation, the score sentinels, and the
// line classifier that the pattern tables are built from.
//
// A pattern code says what one side would get in one line by playing on an
// empty square (patFive .. patClosedTwo, 0 for nothing). A cross code
// combines a side's four direction codes of a square. Every part of the
// engine names codes and weights only through these constants. They never
// change; the tables derived from them live in VelmBoard.
#pragma once

namespace velm {

// Board limits.
constexpr int kMaxSide = 20;
constexpr int kMaxSquares = kMaxSide * kMaxSide;

// Cell codes of a line: a stone of side 0 or 1, empty, off the board.
constexpr int kCellEmpty = 2;
constexpr int kCellOff = 3;

// Line directions: (1,0), (0,1), (1,1), (1,-1).
constexpr int kDirections = 4;
constexpr int dirX[kDirections] = {1, 0, 1, 1};
constexpr int dirY[kDirections] = {0, 1, 1, -1};

// A line key codes the 8 cells at distance 1..4 around a square, 2 bits each.
constexpr int kLineKeys = 1 << 16;
constexpr int kLineCells = 9;  // the 8 keyed cells and the square itself
constexpr int kEmptyLineKey = 0xAAAA;

// Pattern codes.
constexpr int patFive = 9;
constexpr int patOpenFour = 8;
constexpr int patFour = 7;
constexpr int patOpenThree = 6;
constexpr int patThree = 5;
constexpr int patClosedThree = 4;
constexpr int patOpenTwo = 3;
constexpr int patTwo = 2;
constexpr int patClosedTwo = 1;
constexpr int kPatternCodes = 10;

// Cross codes.
constexpr int crossDoubleFour = 6;
constexpr int crossFourOpenThree = 5;
constexpr int crossFourThree = 4;
constexpr int crossDoubleOpenThree = 3;
constexpr int crossOpenThreeThree = 2;
constexpr int crossDoubleThree = 1;
constexpr int kCrossCodes = 7;

// How often each pattern code occurs among one side's four direction codes
// of a square.
struct CodeHistogram {
  int n[kPatternCodes] = {};
  explicit CodeHistogram(const int* codes) {
    for (int d = 0; d < kDirections; d++) n[codes[d]]++;
  }
};

// What one side's four direction codes of an empty square mean to the
// threat scan: a four (some patFour: a move that forces a reply), the
// number of reasons the square wins outright (an open four, two or more
// fours: 0, 1 or 2, each listing the square once), and an attack (a four or
// a three that can become an open four).
struct ThreatTraits {
  bool four;
  int wins;
  bool attack;
  explicit ThreatTraits(const int* codes) {
    const CodeHistogram h(codes);
    four = h.n[patFour] > 0;
    wins = (h.n[patOpenFour] > 0 ? 1 : 0) + (h.n[patFour] >= 2 ? 1 : 0);
    attack = h.n[patFour] > 0 || h.n[patOpenThree] > 0 || h.n[patThree] > 0;
  }
};

// Index of a quadruple of direction codes in the cross tables.
constexpr int kCrossEntries = 10000;
// Direction d's code is the digit of weight crossDigit[d], so a change of one
// code moves the index by (new - old) * crossDigit[d].
constexpr int crossDigit[kDirections] = {1000, 100, 10, 1};
constexpr int crossIndex(int c0, int c1, int c2, int c3) {
  return crossDigit[0] * c0 + crossDigit[1] * c1 + crossDigit[2] * c2 + crossDigit[3] * c3;
}

// Weights: the side to move (own) and its opponent (opp).
constexpr int patWeight[kPatternCodes] = {0, 0, 10, 12, 24, 240, 242, 480, 1900, 2600};
constexpr int crossWeight[kCrossCodes] = {0, 12, 14, 16, 180, 182, 940};
constexpr int patWeightOpp[kPatternCodes] = {0, 0, 8, 10, 20, 200, 202, 400, 1600, 2200};
constexpr int crossWeightOpp[kCrossCodes] = {0, 10, 12, 14, 150, 152, 800};

// Scores, from the view of the side to move.
constexpr int winScore = 99999999;
constexpr int NO_SCORE = -100000000;
constexpr int UNLIMITED = 100000000;

// Classifies a 9-cell line (index 4 holds `side`'s own stone) for `side`.
// For patFour and patOpenFour writes the completion offsets (-4..4) to out
// when out is not null. The line is restored before returning.
int findPatternLine(int* line, int side, int* out);
// Decodes a line key into a line and classifies it.
int findPatternKey(int key, int side, int* out);
// Static value and cross code of a square from one side's four codes.
int setPatternVal(int c0, int c1, int c2, int c3);
int setPatternCross(int c0, int c1, int c2, int c3);

}  // namespace velm
