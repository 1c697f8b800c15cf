// SquareSet: a set of square indices (0..kMaxSquares-1), one bit per square
// in 64-bit words, bit sq % 64 of word sq / 64.
//
// The board keeps such sets beside per-square flags (see VelmBoard) so that
// a scan for the squares with a flag visits only those squares instead of
// the whole board. Visiting the set bits word by word, lowest bit first,
// gives the squares in increasing index order: the same order as a loop
// over every square that tests the flag.
#pragma once

#include <bit>
#include <cstdint>

#include "board/patterns.h"

namespace velm {

constexpr int kSquareWordBits = 64;
constexpr int kSquareWords = (kMaxSquares + kSquareWordBits - 1) / kSquareWordBits;

// Number of words that hold the squares 0..numSquares-1.
constexpr int squareWords(int numSquares) {
  return (numSquares + kSquareWordBits - 1) / kSquareWordBits;
}

struct SquareSet {
  std::uint64_t word[kSquareWords];

  // Square indices are never negative; unsigned arithmetic lets the word
  // and bit of a square be a plain shift and mask.
  static constexpr unsigned wordOf(int sq) { return static_cast<unsigned>(sq) / kSquareWordBits; }
  static constexpr std::uint64_t bit(int sq) {
    return std::uint64_t{1} << (static_cast<unsigned>(sq) % kSquareWordBits);
  }
  void clear() {
    for (std::uint64_t& w : word) w = 0;
  }
  void insert(int sq) { word[wordOf(sq)] |= bit(sq); }
  void erase(int sq) { word[wordOf(sq)] &= ~bit(sq); }
  void flip(int sq) { word[wordOf(sq)] ^= bit(sq); }
  bool contains(int sq) const { return (word[wordOf(sq)] & bit(sq)) != 0; }
};

// Calls visit(sq) for every set bit of `bits`, a word of index `w`, lowest
// square first.
template <class Visit>
inline void forEachBit(std::uint64_t bits, int w, Visit&& visit) {
  while (bits != 0) {
    visit(w * kSquareWordBits + std::countr_zero(bits));
    bits &= bits - 1;
  }
}

}  // namespace velm
