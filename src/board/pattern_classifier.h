// Lines and line keys, as the classifier and the pattern tables see them.
//
// A line is 9 cell codes for the offsets -4..+4 along one direction; index 4
// is the square being classified and holds the classifying side's stone. A
// line key packs the 8 other cells, 2 bits each (cells 0..3 in bits 0..7,
// cells 5..8 in bits 8..15), exactly as a square's key along a direction.
#pragma once

#include "board/patterns.h"

namespace velm {

constexpr int kLineReach = 4;   // cells keyed on each side of a square in a line
constexpr int kCentreCell = 4;  // index of the classified square in a line
constexpr int kCellBits = 2;    // bits of one cell in a line key
constexpr int kCellMask = 3;    // the bits of one cell, at the bottom

// Bit position in a line key of the cell at offset k (-4..-1, +1..+4).
constexpr int cellShift(int k) {
  return k < 0 ? kCellBits * (k + kCentreCell) : kCellBits * (k + kCentreCell - 1);
}

// The cells of a direction that a key holds, as slots j = 0..7: the
// offsets +1..+4, then -1..-4 (slotDistance); see VelmBoard::slotOffset.
constexpr int kSlotsPerDirection = 2 * kLineReach;
// The offset of slot j.
constexpr int slotDistance(int j) {
  return j < kCentreCell ? j + 1 : kCentreCell - 1 - j;
}

// Decodes a line key into 9 cells with `side` on the centre cell.
inline void lineFromKey(int key, int side, int* line) {
  for (int i = 0; i < kCentreCell; i++) line[i] = (key >> (2 * i)) & 3;
  line[kCentreCell] = side;
  for (int i = 0; i < kCentreCell; i++) line[kCentreCell + 1 + i] = (key >> (8 + 2 * i)) & 3;
}

// Packs the 8 outer cells of a line into its key.
inline int lineKey(const int* line) {
  int key = 0;
  for (int i = 0; i < kCentreCell; i++) key |= line[i] << (2 * i);
  for (int i = 0; i < kCentreCell; i++) key |= line[kCentreCell + 1 + i] << (8 + 2 * i);
  return key;
}

}  // namespace velm
