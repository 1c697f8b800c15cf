#include "game_board.h"

namespace arena {

namespace {
// The four line directions; each is also walked backwards.
constexpr int kDirections[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
}  // namespace

std::vector<std::pair<int, int>> GameBoard::winningLine(int x, int y) const {
  const int colour = at(x, y);
  if (colour == kEmpty) return {};
  for (const auto& d : kDirections) {
    // Walk back to the first stone of the run, then collect it forwards.
    int sx = x, sy = y;
    while (onBoard(sx - d[0], sy - d[1]) && at(sx - d[0], sy - d[1]) == colour) {
      sx -= d[0];
      sy -= d[1];
    }
    std::vector<std::pair<int, int>> run;
    for (; onBoard(sx, sy) && at(sx, sy) == colour; sx += d[0], sy += d[1])
      run.emplace_back(sx, sy);
    if (static_cast<int>(run.size()) >= kWinLength) return run;
  }
  return {};
}

}  // namespace arena
