// The move generator keeps the best maxMoves squares while it scores them,
// and the threat scan visits only the squares of the four sets. Both must
// give exactly what a scan of every square followed by a stable sort gives:
// the same squares in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "board_test_util.h"
#include "search/brain.h"
#include "search_test_util.h"

namespace velm {
namespace {

using Selection = search_test::SearchSuite;

// Stable sort of everything, best first, then the first `capacity`.
std::vector<ScoredMove> sortedCut(std::vector<ScoredMove> all, int capacity) {
  std::stable_sort(all.begin(), all.end(),
                   [](const ScoredMove& a, const ScoredMove& b) { return a.score > b.score; });
  if (static_cast<int>(all.size()) > capacity) all.resize(capacity);
  return all;
}

bool sameMoves(const std::vector<ScoredMove>& a, const ScoredMove* b, int n) {
  if (static_cast<int>(a.size()) != n) return false;
  for (int i = 0; i < n; i++)
    if (a[i].move != b[i].move || a[i].score != b[i].score) return false;
  return true;
}

TEST(KeepBest, IsAStableSortFollowedByTheCut) {
  std::mt19937 rng(99);
  const int capacities[] = {1, 2, 8, 40, 400};
  for (int round = 0; round < 400; round++) {
    const int n = static_cast<int>(rng() % 300);
    const int spread = 1 + static_cast<int>(rng() % 20);  // few values: many ties
    std::vector<ScoredMove> items;
    for (int i = 0; i < n; i++) items.push_back({i, static_cast<int>(rng() % spread) - 3});
    for (int capacity : capacities) {
      ScoredMove kept[kMaxSquares];
      int count = 0;
      for (const ScoredMove& item : items) VelmBrain::keepBest(kept, count, capacity, item);
      ASSERT_TRUE(sameMoves(sortedCut(items, capacity), kept, count))
          << "round " << round << " capacity " << capacity;
    }
  }
}

TEST(KeepBest, EqualScoresKeepTheirArrivalOrderAndTheLastArrivalDropsOut) {
  ScoredMove kept[3];
  int count = 0;
  for (ScoredMove m : {ScoredMove{10, 5}, ScoredMove{11, 7}, ScoredMove{12, 5}, ScoredMove{13, 5},
                       ScoredMove{14, 6}})
    VelmBrain::keepBest(kept, count, 3, m);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(kept[0].move, 11);
  EXPECT_EQ(kept[1].move, 14);
  EXPECT_EQ(kept[2].move, 10);
}

// Plays a random game of `moves` candidate squares from the centre.
void randomGame(VelmBrain& b, std::mt19937& rng, int moves) {
  b.makeGameMove(b.boardWidth / 2, b.boardHeight / 2);
  for (int m = 1; m < moves && b.moveCount < b.numSquares; m++) {
    const int s = test::randomCandidate(b, rng);
    b.makeGameMove(b.sqX[s], b.sqY[s]);
  }
}

// The scored list of genMoves, computed the slow way: every candidate square
// in index order, those worth more than 0 (all of them when none is), a
// stable sort, the cut.
std::vector<int> referenceList(VelmBrain& b, int maxMoves) {
  std::vector<ScoredMove> all;
  for (int s = 0; s < b.numSquares; s++) {
    if (!b.squares[s].candidate) continue;
    const int v = b.moveValue(&b.squares[s]);
    if (v > 0) all.push_back({s, v});
  }
  if (all.empty()) {
    for (int s = 0; s < b.numSquares; s++)
      if (b.squares[s].candidate) all.push_back({s, b.moveValue(&b.squares[s])});
  }
  std::vector<int> list;
  for (const ScoredMove& m : sortedCut(all, maxMoves)) list.push_back(m.move);
  return list;
}

TEST_F(Selection, GenMovesGivesTheSortedCutOfEveryCandidate) {
  std::mt19937 rng(2024);
  int scored = 0;
  for (int game = 0; game < 120; game++) {
    const int size = game % 3 == 0 ? 20 : 15;
    newGame(size, size);
    randomGame(b(), rng, 2 + static_cast<int>(rng() % 50));
    for (int maxMoves : {40, 8, 1}) {
      int list[kReplyListCapacity];
      ListKind genFlag = ListKind::kScored;
      const int n = b().genMoves(list, maxMoves, genFlag);
      if (genFlag != ListKind::kScored) continue;  // a forced list from the threat analysis
      scored++;
      ASSERT_EQ(std::vector<int>(list, list + n), referenceList(b(), maxMoves))
          << "game " << game << " maxMoves " << maxMoves;
    }
  }
  EXPECT_GT(scored, 100);
}

// The threat scan's four lists, computed the slow way: patInve on every
// candidate square in index order.
TEST_F(Selection, ThreatScanListsEveryCandidateWithAFour) {
  std::mt19937 rng(7);
  int scans = 0;
  for (int game = 0; game < 300 && scans < 40; game++) {
    newGame(15, 15);
    randomGame(b(), rng, 8 + static_cast<int>(rng() % 60));
    const int x = b().sideToMove;
    const int y = b().sideOther;
    const CountBlock& c = b().counts;
    // Only positions that reach the scan (no five for either side, some
    // unstoppable four square).
    if (c.patCount[x][patFive] > 0 || c.patCount[y][patFive] > 0) continue;
    if (c.patCount[x][patOpenFour] <= 0 && c.patCount[y][patOpenFour] <= 0 &&
        c.crossCount[x][crossDoubleFour] <= 0 && c.crossCount[y][crossDoubleFour] <= 0)
      continue;
    // Unwritten entries stay -1, so a list with extra entries shows.
    for (int* l : {b().s4x, b().dc4x, b().s4y, b().dc4y}) std::fill(l, l + kMoveListCapacity, -1);
    int list[kReplyListCapacity];
    int score = 0;
    b().winAndForced(list, score);
    scans++;

    int ns4[2] = {0, 0}, ndc4[2] = {0, 0};
    int a4[2][kMoveListCapacity], adc4[2][kMoveListCapacity];
    for (int s = 0; s < b().numSquares; s++) {
      if (!b().squares[s].candidate) continue;
      VelmBrain::patInve(b().squares[s].pat[x], a4[0], ns4[0], adc4[0], ndc4[0], s);
      VelmBrain::patInve(b().squares[s].pat[y], a4[1], ns4[1], adc4[1], ndc4[1], s);
    }
    // The scan's lists, up to and including the first unwritten entry.
    auto scanned = [](const int* l, int n) { return std::vector<int>(l, l + n + 1); };
    auto expected = [](const int* l, int n) {
      std::vector<int> v(l, l + n);
      v.push_back(-1);
      return v;
    };
    ASSERT_EQ(scanned(b().s4x, ns4[0]), expected(a4[0], ns4[0])) << "game " << game;
    ASSERT_EQ(scanned(b().dc4x, ndc4[0]), expected(adc4[0], ndc4[0])) << "game " << game;
    ASSERT_EQ(scanned(b().s4y, ns4[1]), expected(a4[1], ns4[1])) << "game " << game;
    ASSERT_EQ(scanned(b().dc4y, ndc4[1]), expected(adc4[1], ndc4[1])) << "game " << game;
  }
  EXPECT_GT(scans, 10);
}

}  // namespace
}  // namespace velm
