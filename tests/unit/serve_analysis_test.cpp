// The board page's reading of a brain's show_detail lines: each depth line replaces the figures
// and drops the choice, the best line adds the choice, and anything else, also a line that is
// nearly right, changes nothing.
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

TEST(SearchReport, ReadsDepthAndBestLinesAndNothingElse) {
  // Before each line: an earlier search's figures and choice.
  SearchReport before;
  readSearchLine("MESSAGE depth 6 score 9 nodes 8 nps 7 time 6 pv 2,2 3,3", kSize, before);
  readSearchLine("MESSAGE best 2,2 by opening rule", kSize, before);
  const std::string unchanged = figures(before);
  const std::string earlier = "depth 6 score 9 none 0 nodes 8 nps 7 time 6 pv 2,2 3,3; best ";
  const std::pair<const char*, std::string> cases[] = {
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
      {"MESSAGE best 10,7 by search depth 10", earlier + "10,7 by search depth 10"},
      {"MESSAGE best 0,14 by forced reply \r", earlier + "0,14 by forced reply"},
      {"MESSAGE creating player", unchanged},
      {"DEBUG depth 8 score 5 nodes 1 nps 1 time 1 pv 1,1", unchanged},
      {"MESSAGE depth", unchanged},
      {"MESSAGE depth 0 score 5 nodes 1 nps 1 time 1 pv 1,1", unchanged},
      {"MESSAGE depth x score 5 nodes 1 nps 1 time 1 pv 1,1", unchanged},
      {"MESSAGE depth 8x score 5 nodes 1 nps 1 time 1 pv 1,1", unchanged},
      {"MESSAGE depth 8 score five nodes 1 nps 1 time 1 pv 1,1", unchanged},
      {"MESSAGE depth 8 score win in nodes 1 nps 1 time 1 pv 1,1", unchanged},
      {"MESSAGE depth 8 score win at 3 nodes 1 nps 1 time 1 pv 1,1", unchanged},
      {"MESSAGE depth 8 score 5 nodes 1 nps 1 time 1", unchanged},
      {"MESSAGE depth 8 score 5 nodes -1 nps 1 time 1 pv 1,1", unchanged},
      {"MESSAGE depth 8 score 5 nps 1 nodes 1 time 1 pv 1,1", unchanged},
      {"MESSAGE depth 8 score 5 nodes 99999999999999999999 nps 1 time 1 pv 1,1", unchanged},
      {"MESSAGE best 15,0 by search depth 2", unchanged},
      {"MESSAGE best 3,3", unchanged},
      {"MESSAGE best 3,3 by", unchanged},
      {"MESSAGE best 3 by forced reply", unchanged},
      {"MESSAGE bestest 3,3 by forced reply", unchanged},
      {"", unchanged},
  };
  for (const auto& [line, expected] : cases) {
    SearchReport r = before;
    EXPECT_EQ(readSearchLine(line, kSize, r), expected != unchanged) << line;
    EXPECT_EQ(figures(r), expected) << line;
  }
}

}  // namespace
