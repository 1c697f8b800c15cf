// The pattern tables built by the constructor: line codes and completion
// squares over every key, and the cross tables over every quadruple.
#include <gtest/gtest.h>

#include "board/board.h"
#include "board/pattern_classifier.h"
#include "board/patterns.h"
#include "board_test_util.h"

namespace velm {
namespace {

using PatternTables = test::BoardSuite;

int swapColoursOfKey(int key) {
  int line[kLineCells];
  lineFromKey(key, 0, line);
  for (int i = 0; i < kLineCells; i++)
    if (line[i] == 0 || line[i] == 1) line[i] = 1 - line[i];
  return lineKey(line);
}

int reverseKey(int key) {
  int line[kLineCells];
  int reversed[kLineCells];
  lineFromKey(key, 0, line);
  for (int i = 0; i < kLineCells; i++) reversed[i] = line[kLineCells - 1 - i];
  return lineKey(reversed);
}

TEST_F(PatternTables, KeysWithoutOwnStonesHaveNoPattern) {
  EXPECT_EQ(b().linePattern[kEmptyLineKey][0], 0);
  EXPECT_EQ(b().linePattern[kEmptyLineKey][1], 0);
  for (int key = 0; key < kLineKeys; key++) {
    int line[kLineCells];
    lineFromKey(key, 0, line);
    bool has[2] = {false, false};
    for (int i = 0; i < kLineCells; i++)
      if (i != kCentreCell && line[i] < 2) has[line[i]] = true;
    for (int side = 0; side < 2; side++) {
      if (!has[side]) {
        ASSERT_EQ(b().linePattern[key][side], 0) << std::hex << key;
      }
    }
  }
}

TEST_F(PatternTables, ColourSwapExchangesTheSides) {
  for (int key = 0; key < kLineKeys; key++) {
    const int swapped = swapColoursOfKey(key);
    ASSERT_EQ(b().linePattern[key][1], b().linePattern[swapped][0]) << std::hex << key;
    ASSERT_EQ(b().linePattern[key][0], b().linePattern[swapped][1]) << std::hex << key;
    for (int slot = 0; slot < 2; slot++)
      ASSERT_EQ(b().lineDefence[key][1][slot], b().lineDefence[swapped][0][slot])
          << std::hex << key;
  }
}

TEST_F(PatternTables, ReversingTheLineKeepsCodesAndMirrorsCompletions) {
  for (int key = 0; key < kLineKeys; key++) {
    const int rev = reverseKey(key);
    for (int side = 0; side < 2; side++) {
      const int code = b().linePattern[key][side];
      ASSERT_EQ(code, b().linePattern[rev][side]) << std::hex << key;
      const int* slots = b().lineDefence[key][side];
      const int* mirrored = b().lineDefence[rev][side];
      if (code == patFour) {
        ASSERT_EQ(slots[0], -mirrored[0]) << std::hex << key;
      } else if (code == patOpenFour) {
        ASSERT_EQ(slots[0], -mirrored[1]) << std::hex << key;
        ASSERT_EQ(slots[1], -mirrored[0]) << std::hex << key;
      }
    }
  }
}

// A completion slot names an empty cell that makes five through the square;
// a four has one, an open four two in increasing order, anything else none.
TEST_F(PatternTables, CompletionSquaresMakeFive) {
  int fours = 0;
  int openFours = 0;
  for (int key = 0; key < kLineKeys; key++) {
    for (int side = 0; side < 2; side++) {
      const int code = b().linePattern[key][side];
      const int* slots = b().lineDefence[key][side];
      int line[kLineCells];
      lineFromKey(key, side, line);
      auto completes = [&](int t) {
        const int c = t + kCentreCell;
        if (t == 0 || line[c] != kCellEmpty) return false;
        line[c] = side;
        const bool five = findPatternLine(line, side, nullptr) == patFive;
        line[c] = kCellEmpty;
        return five;
      };
      if (code == patFour) {
        fours++;
        ASSERT_TRUE(completes(slots[0])) << std::hex << key << " side " << side;
        ASSERT_EQ(slots[1], 0) << std::hex << key;
      } else if (code == patOpenFour) {
        openFours++;
        ASSERT_LT(slots[0], slots[1]) << std::hex << key;
        ASSERT_TRUE(completes(slots[0])) << std::hex << key << " side " << side;
        ASSERT_TRUE(completes(slots[1])) << std::hex << key << " side " << side;
      } else {
        ASSERT_EQ(slots[0], 0) << std::hex << key;
        ASSERT_EQ(slots[1], 0) << std::hex << key;
      }
    }
  }
  EXPECT_GT(fours, 0);
  EXPECT_GT(openFours, 0);
}

TEST_F(PatternTables, KnownFoursByKey) {
  const int straight = test::keyFromText("..XXXX...");
  EXPECT_EQ(b().linePattern[straight][0], patOpenFour);
  EXPECT_EQ(b().lineDefence[straight][0][0], -3);
  EXPECT_EQ(b().lineDefence[straight][0][1], 2);

  const int blocked = test::keyFromText(".OXXXX...");
  EXPECT_EQ(b().linePattern[blocked][0], patFour);
  EXPECT_EQ(b().lineDefence[blocked][0][0], 2);
  EXPECT_EQ(b().lineDefence[blocked][0][1], 0);

  const int gap = test::keyFromText("XX.XXX...");
  EXPECT_EQ(b().linePattern[gap][0], patFour);
  EXPECT_EQ(b().lineDefence[gap][0][0], -2);
  EXPECT_EQ(b().lineDefence[gap][0][1], 0);
}

TEST_F(PatternTables, CrossValueAndCodeSamples) {
  struct Sample {
    int c0, c1, c2, c3, value, code;
  };
  const Sample samples[] = {
      {0, 0, 0, 0, 0, 0},    {9, 0, 0, 0, 2600, 0}, {7, 7, 0, 0, 1900, 6}, {7, 6, 0, 0, 904, 5},
      {7, 5, 0, 0, 900, 4},  {6, 6, 0, 0, 500, 3},  {6, 5, 0, 0, 496, 2},  {5, 5, 0, 0, 492, 1},
      {7, 6, 5, 0, 1338, 5}, {8, 8, 0, 0, 3800, 0}, {6, 6, 5, 5, 1006, 3},
  };
  for (const Sample& s : samples) {
    const int index = crossIndex(s.c0, s.c1, s.c2, s.c3);
    SCOPED_TRACE(index);
    EXPECT_EQ(b().crossValue[index], s.value);
    EXPECT_EQ(b().crossCode[index], s.code);
    EXPECT_EQ(setPatternVal(s.c0, s.c1, s.c2, s.c3), s.value);
    EXPECT_EQ(setPatternCross(s.c0, s.c1, s.c2, s.c3), s.code);
    // The order of the directions does not matter.
    EXPECT_EQ(b().crossValue[crossIndex(s.c3, s.c2, s.c1, s.c0)], s.value);
    EXPECT_EQ(b().crossCode[crossIndex(s.c3, s.c2, s.c1, s.c0)], s.code);
  }
}

TEST_F(PatternTables, CrossCodeDistribution) {
  int seen[kCrossCodes] = {};
  for (int i = 0; i < kCrossEntries; i++) {
    ASSERT_GE(b().crossCode[i], 0);
    ASSERT_LT(b().crossCode[i], kCrossCodes);
    seen[b().crossCode[i]]++;
  }
  const int expected[kCrossCodes] = {6517, 323, 676, 417, 676, 868, 523};
  for (int c = 0; c < kCrossCodes; c++) EXPECT_EQ(seen[c], expected[c]) << "code " << c;
}

}  // namespace
}  // namespace velm
