// PatternTables: what every line key and every quadruple of direction codes
// means, for both sides.
//
// They depend on nothing but the pattern rules: a process computes them
// once (patternTables(), on first use) and never changes them after. Every
// board copies them in its constructor, so that make/undo read them at a
// fixed offset from the board itself.
#pragma once

#include <cstdint>

#include "board/patterns.h"

namespace velm {

// Both sides' codes of a direction in one byte: side 0 in the low
// kLineCodeBits bits, side 1 in the high ones.
constexpr int kLineCodeBits = 4;
constexpr int kLineCodeMask = 0xF;
static_assert(kPatternCodes <= kLineCodeMask + 1);

struct PatternTables {
  // linePattern[key][side]: the side's pattern code of a line key;
  // lineDefence[key][side]: the completion offsets (-4..4) of a four (one)
  // or an open four (two, in increasing order), 0 otherwise.
  int linePattern[kLineKeys][2];
  int lineDefence[kLineKeys][2][2];
  // Per quadruple of direction codes (crossIndex): static value and cross
  // code.
  int crossValue[kCrossEntries];
  int crossCode[kCrossEntries];
  // Compact copies of what makeMove and undoMove read for every key they
  // change, small enough to stay in the processor's nearest caches (the
  // int tables above take 600 KB):
  //  - lineCodes[key]: linePattern[key][0] | linePattern[key][1] << 4;
  //  - crossFlags[index]: crossCode[index], plus kCrossFour when some digit
  //    of the index is patFour or patOpenFour (the squares of fourSquares).
  // And for the threat scan, one lookup per square and side:
  //  - crossThreats[index]: the ThreatTraits of the digits of the index:
  //    kThreatFour, the wins (kThreatWinMask, at kThreatWinShift) and
  //    kThreatAttack.
  std::uint8_t lineCodes[kLineKeys];
  std::uint8_t crossFlags[kCrossEntries];
  std::uint8_t crossThreats[kCrossEntries];
  // lineSlots[key]: bit j set when the cell of slot j of a direction is
  // empty in `key`. A square's four keys give the slots of the empty
  // squares around it, off-board cells never being empty.
  std::uint8_t lineSlots[kLineKeys];
  static constexpr int kCrossCodeMask = 0x7;
  static constexpr int kCrossFour = 0x8;
  static constexpr int kThreatFour = 0x1;
  static constexpr int kThreatAttack = 0x2;
  static constexpr int kThreatWinShift = 2;
  static constexpr int kThreatWinMask = 0xC;
};

// The process's tables, computed by the first call.
const PatternTables& patternTables();

}  // namespace velm
