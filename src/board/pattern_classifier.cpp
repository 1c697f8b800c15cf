// The line classifier: what one side gets in one line by playing on its
// centre square. Only windows of five cells that hold the centre are looked
// at, so "five" means five or more in a row.
#include "board/pattern_classifier.h"

#include "board/patterns.h"
#include "log/log.h"

namespace velm {

namespace {

constexpr int kWindows = 5;      // windows of five cells that hold the centre
constexpr int kWindowLen = 5;    // cells per window
constexpr int kCompletions = 2;  // completion slots of a four

// Own stones in one window.
constexpr int kTwoStones = 2;
constexpr int kThreeStones = 3;
constexpr int kFourStones = 4;
constexpr int kFiveStones = 5;

// Own stones in window `a` when it is free (no opponent stone, no off-board
// cell), otherwise 0.
inline int windowCount(const int* line, int side, int a) {
  const int opponent = 1 - side;
  int own = 0;
  for (int c = a; c < a + kWindowLen; c++) {
    if (line[c] == opponent || line[c] == kCellOff) return 0;
    if (line[c] == side) own++;
  }
  return own;
}

inline bool inWindow(int c, int a) {
  return c >= a && c < a + kWindowLen;
}

}  // namespace

int findPatternLine(int* line, int side, int* out) {
  // Step 1. Own stones per free window.
  int w[kWindows];
  for (int a = 0; a < kWindows; a++) w[a] = windowCount(line, side, a);

  // Step 2. The best window and how many windows reach it.
  int best = 0;
  for (int a = 0; a < kWindows; a++)
    if (w[a] > best) best = w[a];
  int ties = 0;
  for (int a = 0; a < kWindows; a++)
    if (w[a] == best) ties++;

  // Step 3. Fewer than two own stones in every free window: nothing.
  if (best < kTwoStones) return 0;

  // Step 4. Five (or more) in a row.
  if (best == kFiveStones) return patFive;

  // Step 5. A two is judged by the best three it can become.
  if (best == kTwoStones) {
    int m = patClosedThree;
    for (int c = 0; c < kLineCells; c++) {
      if (line[c] != kCellEmpty) continue;
      line[c] = side;
      const int code = findPatternLine(line, side, nullptr);
      line[c] = kCellEmpty;
      if (code > m) m = code;
    }
    if (m == patClosedThree) return patClosedTwo;
    if (m == patThree) return patTwo;
    if (m == patOpenThree) return patOpenTwo;
    erro("Internal 9r8t7t897eer89");
  }

  // Step 6. Pairs of best windows whose empty cells differ in exactly two
  // cells: two fours with different completions, or two threes sharing the
  // cell that makes both of them fours.
  int pairs = 0;
  int e[kLineCells] = {};
  if (ties >= 2) {
    for (int a = 0; a < kWindows; a++) {
      if (w[a] != best) continue;
      for (int b = a + 1; b < kWindows; b++) {
        if (w[b] != best) continue;
        int g[kLineCells];
        int single = 0;
        for (int c = 0; c < kLineCells; c++) {
          g[c] = 0;
          if (line[c] != kCellEmpty) continue;
          if (inWindow(c, a)) g[c]++;
          if (inWindow(c, b)) g[c]++;
          if (g[c] == 1) single++;
        }
        if (single != 2) continue;
        pairs++;
        for (int c = 0; c < kLineCells; c++)
          if (g[c] >= 1) e[c]++;
      }
    }
  }

  // Step 7. No pair: a simple four or a closed three.
  if (pairs == 0) {
    if (best == kFourStones) {
      if (out != nullptr) {
        for (int a = 0; a < kWindows; a++) {
          if (w[a] != kFourStones) continue;
          for (int c = a; c < a + kWindowLen; c++)
            if (line[c] == kCellEmpty) out[0] = c - kCentreCell;
        }
      }
      return patFour;
    }
    if (best == kThreeStones) return patClosedThree;
    erro("Internal 88t7ydrg8erg");
  }

  // Step 8. Two completion squares: an open four.
  if (best == kFourStones) {
    if (out != nullptr) {
      int slot = 0;
      for (int c = 0; c < kLineCells && slot < kCompletions; c++)
        if (e[c] == pairs) out[slot++] = c - kCentreCell;
    }
    return patOpenFour;
  }

  // Step 9. A three: open when exactly two cells lie in every qualifying
  // pair (both ends of the straight four), a plain three when three do.
  int k = 0;
  for (int c = 0; c < kLineCells; c++)
    if (e[c] == pairs) k++;
  if (k == 2) return patOpenThree;
  if (k == 3) return patThree;
  erro("Internal w988dvjidsiuug");
}

int findPatternKey(int key, int side, int* out) {
  int line[kLineCells];
  lineFromKey(key, side, line);
  return findPatternLine(line, side, out);
}

}  // namespace velm
