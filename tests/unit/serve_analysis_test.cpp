// The board page's reading of a brain's show_detail lines: each depth line
// replaces the figures, the best line adds the choice, and anything else,
// also a line that is nearly right, changes nothing.
#include "serve_analysis.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using arena::Proof;
using arena::readSearchLine;
using arena::SearchReport;
using Squares = std::vector<std::pair<int, int>>;

constexpr int kSize = 15;

struct DepthCase {
  const char* line;
  int depth;
  long long score;
  Proof proof;
  int plies;
  long long nodes, nps, timeMs;
  Squares pv;
};

const DepthCase kDepthLines[] = {
    {"MESSAGE depth 8 score 5766 nodes 9002 nps 25573 time 352 pv 10,7 11,7 8,5 6,9",
     8,
     5766,
     Proof::kNone,
     0,
     9002,
     25573,
     352,
     {{10, 7}, {11, 7}, {8, 5}, {6, 9}}},
    {"MESSAGE depth 10 score win in 13 nodes 9323 nps 26041 time 358 pv 10,7 11,7",
     10,
     0,
     Proof::kWin,
     13,
     9323,
     26041,
     358,
     {{10, 7}, {11, 7}}},
    {"MESSAGE depth 4 score loss in 6 nodes 1 nps 1000 time 1 pv 0,0",
     4,
     0,
     Proof::kLoss,
     6,
     1,
     1000,
     1,
     {{0, 0}}},
    {"MESSAGE depth 2 score -120 nodes 30 nps 30000 time 1 pv",
     2,
     -120,
     Proof::kNone,
     0,
     30,
     30000,
     1,
     {}},
    // The variation up to its first square off the board (or not a square).
    {"MESSAGE depth 6 score 0 nodes 5 nps 5 time 1000 pv 14,14 15,0 3,3",
     6,
     0,
     Proof::kNone,
     0,
     5,
     5,
     1000,
     {{14, 14}}},
    {"MESSAGE depth 6 score 0 nodes 5 nps 5 time 1000 pv 1,2 x 3,3",
     6,
     0,
     Proof::kNone,
     0,
     5,
     5,
     1000,
     {{1, 2}}},
    {"message depth 2 score 1 nodes 2 nps 3 time 4 pv 5,6\r",
     2,
     1,
     Proof::kNone,
     0,
     2,
     3,
     4,
     {{5, 6}}},
};

TEST(SearchReport, DepthLinesReplaceTheFigures) {
  for (const DepthCase& c : kDepthLines) {
    SCOPED_TRACE(c.line);
    SearchReport r;
    r.pv = {{9, 9}, {9, 8}, {9, 7}};  // an earlier iteration's, replaced
    r.chosen = true;                  // an earlier search's choice, dropped
    ASSERT_TRUE(readSearchLine(c.line, kSize, r));
    EXPECT_EQ(r.depth, c.depth);
    EXPECT_EQ(r.score, c.score);
    EXPECT_EQ(r.proof, c.proof);
    EXPECT_EQ(r.plies, c.plies);
    EXPECT_EQ(r.nodes, c.nodes);
    EXPECT_EQ(r.nps, c.nps);
    EXPECT_EQ(r.timeMs, c.timeMs);
    EXPECT_EQ(r.pv, c.pv);
    EXPECT_FALSE(r.chosen);
  }
}

TEST(SearchReport, BestLinesAddTheChoice) {
  const std::tuple<const char*, int, int, const char*> cases[] = {
      {"MESSAGE best 10,7 by search depth 10", 10, 7, "search depth 10"},
      {"MESSAGE best 7,7 by opening rule", 7, 7, "opening rule"},
      {"MESSAGE best 0,14 by forced reply \r", 0, 14, "forced reply"},
  };
  for (const auto& [line, x, y, by] : cases) {
    SCOPED_TRACE(line);
    SearchReport r;
    ASSERT_TRUE(readSearchLine("MESSAGE depth 8 score 5 nodes 1 nps 1 time 1 pv 1,1", kSize, r));
    ASSERT_TRUE(readSearchLine(line, kSize, r));
    EXPECT_TRUE(r.chosen);
    EXPECT_EQ(r.bestX, x);
    EXPECT_EQ(r.bestY, y);
    EXPECT_EQ(r.by, by);
    EXPECT_EQ(r.depth, 8);  // the figures stay
    EXPECT_EQ(r.pv, Squares({{1, 1}}));
  }
}

TEST(SearchReport, OtherLinesChangeNothing) {
  const char* lines[] = {
      "MESSAGE creating player",
      "DEBUG depth 8 score 5 nodes 1 nps 1 time 1 pv 1,1",
      "MESSAGE depth",
      "MESSAGE depth 0 score 5 nodes 1 nps 1 time 1 pv 1,1",
      "MESSAGE depth x score 5 nodes 1 nps 1 time 1 pv 1,1",
      "MESSAGE depth 8x score 5 nodes 1 nps 1 time 1 pv 1,1",
      "MESSAGE depth 8 score five nodes 1 nps 1 time 1 pv 1,1",
      "MESSAGE depth 8 score win in nodes 1 nps 1 time 1 pv 1,1",
      "MESSAGE depth 8 score win at 3 nodes 1 nps 1 time 1 pv 1,1",
      "MESSAGE depth 8 score 5 nodes 1 nps 1 time 1",
      "MESSAGE depth 8 score 5 nodes -1 nps 1 time 1 pv 1,1",
      "MESSAGE depth 8 score 5 nps 1 nodes 1 time 1 pv 1,1",
      "MESSAGE depth 8 score 5 nodes 99999999999999999999 nps 1 time 1 pv 1,1",
      "MESSAGE best 15,0 by search depth 2",
      "MESSAGE best 3,3",
      "MESSAGE best 3,3 by",
      "MESSAGE best 3 by forced reply",
      "MESSAGE bestest 3,3 by forced reply",
      "",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    SearchReport r;
    ASSERT_TRUE(
        readSearchLine("MESSAGE depth 6 score 9 nodes 8 nps 7 time 6 pv 2,2 3,3", kSize, r));
    EXPECT_FALSE(readSearchLine(line, kSize, r));
    EXPECT_EQ(r.depth, 6);
    EXPECT_EQ(r.score, 9);
    EXPECT_EQ(r.nodes, 8);
    EXPECT_EQ(r.pv, Squares({{2, 2}, {3, 3}}));
    EXPECT_FALSE(r.chosen);
  }
}

}  // namespace
