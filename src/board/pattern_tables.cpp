// The pattern tables, built once per process and only read afterwards: the
// code and completion squares of every line key for each side, and the
// static value and cross code of every quadruple of direction codes.
#include "board/pattern_tables.h"

#include "board/pattern_classifier.h"
#include "board/patterns.h"

namespace velm {

namespace {

constexpr int kCodeDigits = 10;  // direction codes 0..9 are the decimal digits of a cross index

// Computes the tables (zeroed storage: completion squares are written only
// for fours).
void buildTables(PatternTables& t) {
  // Step 1. Line tables: every key for both sides, also keys that no board
  // produces.
  for (int k = 0; k < kLineKeys; k++) {
    for (int side = 0; side < 2; side++) {
      t.linePattern[k][side] = findPatternKey(k, side, t.lineDefence[k][side]);
    }
  }
  // Step 2. The compact line codes and the empty slots used by make and undo.
  static_assert(kPatternCodes <= kLineCodeMask + 1 &&
                kCrossCodes <= PatternTables::kCrossCodeMask + 1);
  for (int k = 0; k < kLineKeys; k++) {
    t.lineCodes[k] =
        static_cast<std::uint8_t>(t.linePattern[k][0] | t.linePattern[k][1] << kLineCodeBits);
  }
  // The slots of the cells at +1..+4 lie in a key's high byte, those at
  // -1..-4 in its low byte: each byte's slots are found once.
  constexpr int kByteValues = 256;
  constexpr int kByteBits = 8;
  std::uint8_t highSlots[kByteValues] = {};
  std::uint8_t lowSlots[kByteValues] = {};
  for (int j = 0; j < kSlotsPerDirection; j++) {
    const int shift = cellShift(slotDistance(j));
    std::uint8_t* bySlot = shift >= kByteBits ? highSlots : lowSlots;
    for (int v = 0; v < kByteValues; v++) {
      if (((v >> shift % kByteBits) & kCellMask) == kCellEmpty)
        bySlot[v] = static_cast<std::uint8_t>(bySlot[v] | 1 << j);
    }
  }
  for (int k = 0; k < kLineKeys; k++) {
    t.lineSlots[k] =
        static_cast<std::uint8_t>(highSlots[k >> kByteBits] | lowSlots[k % kByteValues]);
  }
  // Step 3. Every quadruple of direction codes: its value, cross code, flags
  // and threat traits.
  auto four = [](int c) { return c == patFour || c == patOpenFour; };
  for (int c0 = 0; c0 < kCodeDigits; c0++)
    for (int c1 = 0; c1 < kCodeDigits; c1++)
      for (int c2 = 0; c2 < kCodeDigits; c2++)
        for (int c3 = 0; c3 < kCodeDigits; c3++) {
          const int index = crossIndex(c0, c1, c2, c3);
          const int codes[kDirections] = {c0, c1, c2, c3};
          const ThreatTraits threats(codes);
          t.crossValue[index] = setPatternVal(c0, c1, c2, c3);
          t.crossCode[index] = setPatternCross(c0, c1, c2, c3);
          const bool hasFour = four(c0) || four(c1) || four(c2) || four(c3);
          t.crossFlags[index] = static_cast<std::uint8_t>(
              t.crossCode[index] | (hasFour ? PatternTables::kCrossFour : 0));
          t.crossThreats[index] =
              static_cast<std::uint8_t>((threats.four ? PatternTables::kThreatFour : 0) |
                                        (threats.attack ? PatternTables::kThreatAttack : 0) |
                                        threats.wins << PatternTables::kThreatWinShift);
        }
}

}  // namespace

// Classifying 131072 lines is the one costly part of building a board, and
// the tables depend on nothing but the pattern rules: a process computes
// them once, and every board copies them (tests, the fuzzing harnesses and
// the search workers build many boards). Never freed: the process may end
// at any moment.
const PatternTables& patternTables() {
  static const PatternTables* tables = [] {
    PatternTables* t = new PatternTables{};
    buildTables(*t);
    return t;
  }();
  return *tables;
}

int setPatternVal(int c0, int c1, int c2, int c3) {
  const int codes[kDirections] = {c0, c1, c2, c3};
  const CodeHistogram h(codes);
  const int* n = h.n;
  int value = 0;
  for (int c = 1; c < kPatternCodes; c++) value += n[c] * patWeight[c];
  // Unlike the cross code, every combination present adds its weight.
  if (n[patFour] >= 2) value += crossWeight[crossDoubleFour];
  if (n[patFour] >= 1 && n[patOpenThree] >= 1) value += crossWeight[crossFourOpenThree];
  if (n[patFour] >= 1 && n[patThree] >= 1) value += crossWeight[crossFourThree];
  if (n[patOpenThree] >= 2) value += crossWeight[crossDoubleOpenThree];
  if (n[patOpenThree] >= 1 && n[patThree] >= 1) value += crossWeight[crossOpenThreeThree];
  if (n[patThree] >= 2) value += crossWeight[crossDoubleThree];
  return value;
}

int setPatternCross(int c0, int c1, int c2, int c3) {
  const int codes[kDirections] = {c0, c1, c2, c3};
  const CodeHistogram h(codes);
  const int* n = h.n;
  if (n[patFour] >= 2) return crossDoubleFour;
  if (n[patFour] == 1) {
    if (n[patOpenThree] >= 1) return crossFourOpenThree;
    if (n[patThree] >= 1) return crossFourThree;
    return 0;
  }
  if (n[patOpenThree] >= 2) return crossDoubleOpenThree;
  if (n[patOpenThree] == 1 && n[patThree] >= 1) return crossOpenThreeThree;
  if (n[patThree] >= 2) return crossDoubleThree;
  return 0;
}

}  // namespace velm
