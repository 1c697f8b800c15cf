#include "game_board.h"

namespace arena {

namespace {
// The four line directions; each is also walked backwards.
constexpr int kDirections[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
}  // namespace

bool GameBoard::makesFive(int x, int y) const {
  const int colour = at(x, y);
  if (colour == kEmpty) return false;
  for (const auto& d : kDirections) {
    int run = 1;
    for (int sign = -1; sign <= 1; sign += 2) {
      int cx = x + sign * d[0];
      int cy = y + sign * d[1];
      while (onBoard(cx, cy) && at(cx, cy) == colour) {
        ++run;
        cx += sign * d[0];
        cy += sign * d[1];
      }
    }
    if (run >= kWinLength) return true;
  }
  return false;
}

}  // namespace arena
