// GameBoard: the referee's own copy of the position of one game. Squares
// hold kEmpty, kBlack or kWhite; (x, y) is column and row, 0-based, as the
// protocol writes them. Only the referee's functions and the board page's
// game place stones, after checking that the square is on the board and
// free; nothing is ever taken back (the page's undo builds a new board).
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace arena {

constexpr int kEmpty = 0;
constexpr int kBlack = 1;  // the first player, 'X'
constexpr int kWhite = 2;  // the second player, 'O'
constexpr int kWinLength = 5;

class GameBoard {
 public:
  explicit GameBoard(int size) : side(size), cells(static_cast<std::size_t>(size * size), kEmpty) {}

  int size() const { return side; }
  bool onBoard(int x, int y) const { return x >= 0 && y >= 0 && x < side && y < side; }
  int at(int x, int y) const { return cells[static_cast<std::size_t>(y * side + x)]; }
  bool full() const { return stones == side * side; }
  int stoneCount() const { return stones; }

  // Places a stone of `colour` on a free square of the board.
  void place(int x, int y, int colour) {
    cells[static_cast<std::size_t>(y * side + x)] = colour;
    ++stones;
  }

  // True when the stone on (x, y) is part of five or more in a row of its
  // colour (free-style: overlines win too).
  bool makesFive(int x, int y) const { return !winningLine(x, y).empty(); }
  // The squares of the first such row through (x, y), in order along it;
  // empty when there is none.
  std::vector<std::pair<int, int>> winningLine(int x, int y) const;

 private:
  int side;
  int stones = 0;
  std::vector<int> cells;
};

}  // namespace arena
