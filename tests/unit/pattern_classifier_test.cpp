// The line classifier on hand-made lines: codes, completion slots, and the
// promises about its arguments.
#include "board/pattern_classifier.h"

#include <gtest/gtest.h>

#include "board/patterns.h"
#include "board_test_util.h"

namespace velm {
namespace {

constexpr int kUntouched = 99;

struct LineCase {
  const char* text;
  int code;
  int slot0;  // kUntouched when the slot must not be written
  int slot1;
};

// Lines for side 0, cells -4..+4.
const LineCase kLines[] = {
    {"....X....", 0, kUntouched, kUntouched},
    {"XXXXX....", patFive, kUntouched, kUntouched},
    {"..XXXXX..", patFive, kUntouched, kUntouched},
    {"..XXXX...", patOpenFour, -3, 2},
    {"X.XXX.X..", patOpenFour, -3, 1},
    {".OXXXX...", patFour, 2, kUntouched},
    {"XX.XXX...", patFour, -2, kUntouched},
    {"...XXX...", patOpenThree, kUntouched, kUntouched},
    {"O..XXX..O", patOpenThree, kUntouched, kUntouched},
    {"..X.XX...", patThree, kUntouched, kUntouched},
    {"O.XXX..O.", patThree, kUntouched, kUntouched},
    {"##.XXX...", patThree, kUntouched, kUntouched},
    {"X.X.X.X..", patThree, kUntouched, kUntouched},
    {"..OXXX...", patClosedThree, kUntouched, kUntouched},
    {"#.XXX.O..", patClosedThree, kUntouched, kUntouched},
    {"...XX....", patOpenTwo, kUntouched, kUntouched},
    {"..X.X....", patOpenTwo, kUntouched, kUntouched},
    {".O.XX....", patTwo, kUntouched, kUntouched},
    {".X..X....", patTwo, kUntouched, kUntouched},
    {"#..XX.O..", patClosedTwo, kUntouched, kUntouched},
    {"..OXXX.O.", 0, kUntouched, kUntouched},
};

// The same line seen by side 1: colours exchanged.
void swapColours(int* line) {
  for (int i = 0; i < kLineCells; i++)
    if (line[i] == 0 || line[i] == 1) line[i] = 1 - line[i];
}

TEST(PatternClassifier, CodesAndCompletionSlotsOfKnownLines) {
  for (const LineCase& c : kLines) {
    SCOPED_TRACE(c.text);
    int line[kLineCells];
    test::lineFromText(c.text, line);
    int out[2] = {kUntouched, kUntouched};
    EXPECT_EQ(findPatternLine(line, 0, out), c.code);
    EXPECT_EQ(out[0], c.slot0);
    EXPECT_EQ(out[1], c.slot1);

    // Side 1 with the colours exchanged sees exactly the same.
    swapColours(line);
    int out1[2] = {kUntouched, kUntouched};
    EXPECT_EQ(findPatternLine(line, 1, out1), c.code);
    EXPECT_EQ(out1[0], c.slot0);
    EXPECT_EQ(out1[1], c.slot1);
  }
}

TEST(PatternClassifier, NullOutputGivesTheSameCodeAndLineIsRestored) {
  for (const LineCase& c : kLines) {
    SCOPED_TRACE(c.text);
    int line[kLineCells];
    int before[kLineCells];
    test::lineFromText(c.text, line);
    test::lineFromText(c.text, before);
    EXPECT_EQ(findPatternLine(line, 0, nullptr), c.code);
    // Twos recurse through every empty cell; the line must come back intact.
    for (int i = 0; i < kLineCells; i++) EXPECT_EQ(line[i], before[i]) << "cell " << i;
  }
}

TEST(PatternClassifier, KeyDecodingMatchesTheLine) {
  for (const LineCase& c : kLines) {
    SCOPED_TRACE(c.text);
    const int key = test::keyFromText(c.text);
    int line[kLineCells];
    test::lineFromText(c.text, line);
    int outKey[2] = {kUntouched, kUntouched};
    int outLine[2] = {kUntouched, kUntouched};
    EXPECT_EQ(findPatternKey(key, 0, outKey), findPatternLine(line, 0, outLine));
    EXPECT_EQ(outKey[0], outLine[0]);
    EXPECT_EQ(outKey[1], outLine[1]);
  }
  // The empty surroundings: bits 0-7 are the cells -4..-1, bits 8-15 +1..+4.
  int line[kLineCells];
  lineFromKey(0xAAFF, 1, line);
  const int expected[kLineCells] = {3, 3, 3, 3, 1, 2, 2, 2, 2};
  for (int i = 0; i < kLineCells; i++) EXPECT_EQ(line[i], expected[i]) << "cell " << i;
  EXPECT_EQ(lineKey(line), 0xAAFF);
}

TEST(PatternClassifier, OpponentStonesAndEdgesCutWindows) {
  int line[kLineCells];
  // Six own stones but every window holding the centre is blocked.
  test::lineFromText("XXXOXOXX.", line);
  EXPECT_EQ(findPatternLine(line, 0, nullptr), 0);
  // Six in a row still counts as five.
  test::lineFromText(".XXXXXX..", line);
  EXPECT_EQ(findPatternLine(line, 0, nullptr), patFive);
  // The same shapes are nothing for the other side.
  test::lineFromText("..XXXX...", line);
  line[4] = 1;
  EXPECT_EQ(findPatternLine(line, 1, nullptr), 0);
}

}  // namespace
}  // namespace velm
