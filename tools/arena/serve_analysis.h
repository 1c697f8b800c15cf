// SearchReport: what a brain says of its search in the MESSAGE lines it
// writes under `INFO show_detail 1`, read for the board page's analysis:
//
//   MESSAGE depth 8 score 5766 nodes 9002 nps 25573 time 352 pv 10,7 11,7
//   MESSAGE depth 10 score win in 13 nodes ... pv ...
//   MESSAGE best 10,7 by search depth 10     (or by opening rule, by forced reply)
//
// Each depth line replaces the figures of the one before; the best line
// adds the choice. Every other line (other brains' MESSAGE lines, DEBUG,
// a line cut short) is not a report and changes nothing, so a brain that
// says something else is shown without analysis rather than with a wrong
// one. Squares are the protocol's 0-based x,y; a principal variation is
// kept up to its first square off the board.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace arena {

enum class Proof { kNone, kWin, kLoss };  // a score, or a result the search proved

struct SearchReport {
  int depth = 0;  // 0: no depth line yet
  long long score = 0;
  Proof proof = Proof::kNone;
  int plies = 0;  // with a proof: its length
  long long nodes = 0;
  long long nps = 0;
  long long timeMs = 0;
  std::vector<std::pair<int, int>> pv;
  bool chosen = false;  // a best line came
  int bestX = 0;
  int bestY = 0;
  std::string by;  // "search depth 10", "opening rule", "forced reply"
};

// Reads `line`, from a brain playing on a board of `size`, into `report`.
// False, with `report` unchanged, for a line that is neither a depth line
// nor a best line.
bool readSearchLine(const std::string& line, int size, SearchReport& report);

}  // namespace arena
