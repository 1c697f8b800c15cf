// The board page's reading of a brain's show_detail lines: each depth line
// replaces the figures, the best line adds the choice, and anything else,
// also a line that is nearly right, changes nothing.
#include "serve_analysis.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using arena::readSearchLine;
using arena::SearchReport;

constexpr int kSize = 15;

// Every field of a report on one line, the choice only once one came.
std::string figures(const SearchReport& r) {
  const char* proofs[] = {"none", "win", "loss"};
  std::ostringstream out;
  out << "depth " << r.depth << " score " << r.score << " " << proofs[static_cast<int>(r.proof)]
      << " " << r.plies << " nodes " << r.nodes << " nps " << r.nps << " time " << r.timeMs
      << " pv";
  for (const auto& [x, y] : r.pv) out << " " << x << "," << y;
  if (r.chosen) out << "; best " << r.bestX << "," << r.bestY << " by " << r.by;
  return out.str();
}

// The report after `before` (read first, when not empty) and then `line`,
// which reads or not as `reads` says.
void expectReport(const std::string& before, const std::string& line, bool reads,
                  const std::string& expected, SearchReport r = {}) {
  SCOPED_TRACE(line);
  ASSERT_TRUE(before.empty() || readSearchLine(before, kSize, r));
  EXPECT_EQ(readSearchLine(line, kSize, r), reads);
  EXPECT_EQ(figures(r), expected);
}

TEST(SearchReport, DepthLinesReplaceTheFigures) {
  const std::pair<const char*, const char*> cases[] = {
      {"MESSAGE depth 8 score 5766 nodes 9002 nps 25573 time 352 pv 10,7 11,7 8,5 6,9",
       "depth 8 score 5766 none 0 nodes 9002 nps 25573 time 352 pv 10,7 11,7 8,5 6,9"},
      {"MESSAGE depth 10 score win in 13 nodes 9323 nps 26041 time 358 pv 10,7 11,7",
       "depth 10 score 0 win 13 nodes 9323 nps 26041 time 358 pv 10,7 11,7"},
      {"MESSAGE depth 4 score loss in 6 nodes 1 nps 1000 time 1 pv 0,0",
       "depth 4 score 0 loss 6 nodes 1 nps 1000 time 1 pv 0,0"},
      {"MESSAGE depth 2 score -120 nodes 30 nps 30000 time 1 pv",
       "depth 2 score -120 none 0 nodes 30 nps 30000 time 1 pv"},
      // The variation up to its first square off the board (or not a square).
      {"MESSAGE depth 6 score 0 nodes 5 nps 5 time 1000 pv 14,14 15,0 3,3",
       "depth 6 score 0 none 0 nodes 5 nps 5 time 1000 pv 14,14"},
      {"MESSAGE depth 6 score 0 nodes 5 nps 5 time 1000 pv 1,2 x 3,3",
       "depth 6 score 0 none 0 nodes 5 nps 5 time 1000 pv 1,2"},
      {"message depth 2 score 1 nodes 2 nps 3 time 4 pv 5,6\r",
       "depth 2 score 1 none 0 nodes 2 nps 3 time 4 pv 5,6"},
  };
  // An earlier iteration's variation is replaced, an earlier search's
  // choice dropped.
  SearchReport earlier;
  earlier.pv = {{9, 9}, {9, 8}, {9, 7}};
  earlier.chosen = true;
  for (const auto& [line, expected] : cases) expectReport("", line, true, expected, earlier);
}

TEST(SearchReport, BestLinesAddTheChoice) {
  const std::pair<const char*, const char*> cases[] = {
      {"MESSAGE best 10,7 by search depth 10", "10,7 by search depth 10"},
      {"MESSAGE best 7,7 by opening rule", "7,7 by opening rule"},
      {"MESSAGE best 0,14 by forced reply \r", "0,14 by forced reply"},
  };
  for (const auto& [line, choice] : cases)
    expectReport("MESSAGE depth 8 score 5 nodes 1 nps 1 time 1 pv 1,1", line, true,
                 "depth 8 score 5 none 0 nodes 1 nps 1 time 1 pv 1,1; best " + std::string(choice));
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
  for (const char* line : lines)
    expectReport("MESSAGE depth 6 score 9 nodes 8 nps 7 time 6 pv 2,2 3,3", line, false,
                 "depth 6 score 9 none 0 nodes 8 nps 7 time 6 pv 2,2 3,3");
}

}  // namespace
