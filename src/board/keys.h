// PositionKeys: the random numbers behind the 64-bit position keys.
//
// A position's key is the XOR of one number per stone (side, square), so
// make and undo keep it current with one XOR each and every move order
// reaching a position gives it the same key. The owner of a game draws new
// numbers when the game starts (draw()); every board of the game and the
// game memory take a copy, so that they all key positions alike. Numbers
// come from the process's generator (platform/random.h), five 15-bit draws
// each, so a seed gives the same keys on every platform.
#pragma once

#include <cstdint>

#include "board/patterns.h"

namespace velm {

struct PositionKeys {
  // zobrist[side][square]: for the squares of the largest board, whatever
  // the board in play.
  std::uint64_t zobrist[2][kMaxSquares];

  static std::uint64_t rand64();
  // New numbers; the two sides' numbers of a square are drawn one after the
  // other, square by square.
  void draw();
};

}  // namespace velm
