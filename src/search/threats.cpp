// Threat detection: fives, and squares where either side makes an open four
// or two fours at once, with the forced replies they leave.
#include <bit>

#include "log/log.h"
#include "search/worker.h"

namespace velm {

bool SearchWorker::isFiveSquare(int sq, int side) const {
  if (sq < 0 || sq >= board_.numSquares()) return false;
  const BoardSquare& s = board_.square(sq);
  if (s.stone != kCellEmpty) return false;
  for (int d = 0; d < kDirections; d++)
    if (s.pat(side, d) == patFive) return true;
  return false;
}

// The board records only the five squares met by the last move. A side that
// left an earlier five open (an opponent can) may leave that record naming
// a stone once its newer five is blocked. The record is trusted when it
// names an empty five square of the side, as in every position the search
// itself reaches; otherwise the first five square in index order is taken.
int SearchWorker::fiveSquare(int side) const {
  const int recorded = board_.counts().fiveSq[side][0];
  if (isFiveSquare(recorded, side)) return recorded;
  for (int sq = 0; sq < board_.numSquares(); sq++)
    if (isFiveSquare(sq, side)) return sq;
  return recorded;
}

int SearchWorker::winAndForced(int* list, int& score) {
  const VelmBoard& b = board_;
  const int x = b.sideToMove();
  const int y = b.sideOther();
  const CountBlock& c = b.counts();
  const std::uint8_t* const crossThreats = b.patterns().crossThreats;

  // Step 1. Five for the side to move.
  if (c.patCount[x][patFive] >= 1) {
    list[0] = fiveSquare(x);
    score = winScore;
    return 1;
  }
  // Step 2. Two or more opponent five completions: lost.
  const int f = c.patCount[y][patFive];
  if (f >= 2) {
    list[0] = fiveSquare(y);
    score = -winScore;
    return 1;
  }
  // Step 3. One opponent five completion: the forced block.
  if (f == 1) {
    list[0] = fiveSquare(y);
    score = 0;
    return 1;
  }
  // Step 4. No unstoppable four square on either side: quiet.
  if (isQuiet(c)) {
    score = 0;
    return 0;
  }
  // Step 5. Scan the candidate squares for fours of both sides, read from
  // crossThreats: the side to move's four squares, and the opponent's
  // winning squares (once for an open four, once more for two fours).
  // Nothing is listed for a square without a four or open four code of
  // either side, so only the candidates in the four sets are visited, in
  // index order.
  if (b.numSquares() <= 0) erro("Internal 9d8r89dsr8g");
  int s4xCount = 0, dc4yCount = 0;
  const int words = squareWords(b.numSquares());
  for (int w = 0; w < words; w++) {
    std::uint64_t bits =
        (b.fourSquares(0).word[w] | b.fourSquares(1).word[w]) & b.candSquares().word[w];
    for (; bits != 0; bits &= bits - 1) {
      const int sq = w * kSquareWordBits + std::countr_zero(bits);
      const BoardSquare& s = b.square(sq);
      const int own = crossThreats[s.cross[x]];
      // Step 6. The side to move makes the first unstoppable four.
      if (own & PatternTables::kThreatWinMask) {
        list[0] = sq;
        score = winScore;
        return 1;
      }
      if (own & PatternTables::kThreatFour) s4x[s4xCount++] = sq;
      const int opp = crossThreats[s.cross[y]];
      for (int k = (opp & PatternTables::kThreatWinMask) >> PatternTables::kThreatWinShift; k > 0;
           k--)
        dc4y[dc4yCount++] = sq;
    }
  }
  // Step 7. The counts promised a threat that the scan did not find.
  if (dc4yCount == 0) erro("Internal 9d8r89dsr8g");
  // Step 8. Own fours are counter-threats.
  int count = 0;
  for (int i = 0; i < s4xCount; i++) forcedMoves[count++] = s4x[i];
  // Step 9. Squares that answer every opponent threat.
  difeCalc(forcedMoves, count, dc4y, dc4yCount, y);
  // Step 10. Replies found.
  if (count > 0) {
    for (int i = 0; i < count; i++) list[i] = forcedMoves[i];
    score = 0;
    return count;
  }
  // Step 11. Nothing helps.
  list[0] = dc4y[0];
  score = -winScore;
  return 1;
}

}  // namespace velm
