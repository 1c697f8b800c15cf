// Helpers of the board tests: lines written as text, one engine object per
// suite, squares by coordinates, and a full snapshot of the board's state.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/pattern_classifier.h"

namespace velm::test {

// A 9-cell line from text, for side 0: X own stone, O opponent, '.' empty,
// '#' off the board.
inline void lineFromText(const char* text, int* line) {
  for (int i = 0; i < kLineCells; i++) {
    switch (text[i]) {
      case 'X':
        line[i] = 0;
        break;
      case 'O':
        line[i] = 1;
        break;
      case '.':
        line[i] = kCellEmpty;
        break;
      default:
        line[i] = kCellOff;
        break;
    }
  }
}

inline int keyFromText(const char* text) {
  int line[kLineCells];
  lineFromText(text, line);
  return lineKey(line);
}

// The engine object is about 200 MB: one per suite, on the heap.
class BoardSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { board_ = new VelmBoard(); }
  static void TearDownTestSuite() {
    delete board_;
    board_ = nullptr;
  }
  static inline VelmBoard* board_ = nullptr;

  VelmBoard& b() { return *board_; }
  int sq(int x, int y) { return board_->sqIndex[x][y]; }
  void play(int x, int y) { board_->makeMove(sq(x, y)); }
};

// Everything make/undo may touch, for exact before/after comparisons.
struct BoardSnapshot {
  BoardSquare squares[kMaxSquares];
  CountBlock counts;
  std::uint64_t key;
  int moveCount;
  int sideToMove;
  int sideOther;
  int numSquares;

  static std::unique_ptr<BoardSnapshot> of(const VelmBoard& b) {
    auto s = std::make_unique<BoardSnapshot>();
    std::memset(s.get(), 0, sizeof(BoardSnapshot));
    for (int i = 0; i < b.numSquares; i++) s->squares[i] = b.squares[i];
    s->counts = b.counts;
    s->key = b.key;
    s->moveCount = b.moveCount;
    s->sideToMove = b.sideToMove;
    s->sideOther = b.sideOther;
    s->numSquares = b.numSquares;
    return s;
  }
};

// Describes the first difference between two snapshots, "" when equal.
inline std::string firstDifference(const BoardSnapshot& a, const BoardSnapshot& b) {
  if (a.numSquares != b.numSquares) return "numSquares";
  for (int i = 0; i < a.numSquares; i++) {
    const BoardSquare& p = a.squares[i];
    const BoardSquare& q = b.squares[i];
    if (p.stone != q.stone) return "stone of square " + std::to_string(i);
    if (p.candidate != q.candidate) return "candidate flag of square " + std::to_string(i);
    for (int d = 0; d < kDirections; d++) {
      if (p.key[d] != q.key[d]) return "key of square " + std::to_string(i);
      if (p.pat[0][d] != q.pat[0][d] || p.pat[1][d] != q.pat[1][d])
        return "codes of square " + std::to_string(i);
    }
  }
  if (std::memcmp(&a.counts, &b.counts, sizeof(CountBlock)) != 0) return "count block";
  if (a.key != b.key) return "position key";
  if (a.moveCount != b.moveCount) return "moveCount";
  if (a.sideToMove != b.sideToMove || a.sideOther != b.sideOther) return "sides";
  return "";
}

// verifyBoard's verdict with its reason, for assertion messages.
inline ::testing::AssertionResult boardConsistent(const VelmBoard& b) {
  char why[256] = "";
  if (b.verifyBoard(why, sizeof why)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << why;
}

// A candidate square of the board, drawn with rng (the board has one).
template <class Rng>
int randomCandidate(const VelmBoard& b, Rng& rng) {
  std::vector<int> candidates;
  for (int s = 0; s < b.numSquares; s++)
    if (b.squares[s].candidate) candidates.push_back(s);
  EXPECT_FALSE(candidates.empty());
  return candidates.empty() ? -1 : candidates[rng() % candidates.size()];
}

}  // namespace velm::test
