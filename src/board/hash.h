// VelmHash: position keys and the two direct-mapped result tables.
//
// `key` is the XOR of one random 64-bit number per stone (side, square); make
// and undo keep it current with one XOR each, so every move order reaching a
// position gives it the same key. `tt` holds search results (bounds, depths,
// best move), `tt0` plain evaluation values. A slot is the low 22 bits of the
// key; each slot holds one entry, the newest store wins, and the full key in
// the entry tells whether it belongs to the probed position. initTT() draws
// new numbers and clears both tables at the start of every game; it does not
// reset `key`. Only the search thread touches any of this.
//
// Clearing 190 MB is most of what starting a game costs, and the first clear
// of a new object is far dearer than the others: it makes the operating
// system map every page. So the tables are cleared only when they may hold
// something: `tablesClear` says that every byte of both is zero. It is true
// for an object allocated by VelmHash::operator new (fresh memory from
// calloc, which the system gives zeroed without writing it), false for any
// other, set false by every store and true again by each clear. A probe of
// an uncleared but all-zero table reads exactly what a cleared one does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "board/patterns.h"

namespace velm {

constexpr int BOUND_EXACT = 0;
constexpr int BOUND_UPPER = 1;
constexpr int BOUND_LOWER = 2;

constexpr int kTableBits = 22;
constexpr std::uint32_t kTableSize = 1u << kTableBits;
constexpr std::uint64_t kTableMask = kTableSize - 1;

struct TTEntry {
  std::uint64_t key;
  int depth;
  int bound;
  int move;
  int value;
  int fullDepth;
};

struct TT0Entry {
  std::uint64_t key;
  int value;
};

class VelmHash {
 public:
  VelmHash();
  // The engine object (this class and those derived from it) lives in
  // zeroed memory from calloc; see `tablesClear`.
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* block) noexcept;

  std::uint64_t key = 0;
  std::uint64_t zobrist[2][kMaxSquares];
  TTEntry tt[kTableSize];
  TT0Entry tt0[kTableSize];
  // Every byte of tt and tt0 is zero (nothing stored since the last clear).
  bool tablesClear = false;

  static std::uint64_t rand64();
  void initTT();
  // Asks for huge pages behind both tables; see platform/memory.h for the
  // price. Only worth it before the tables are first touched.
  void adviseHugePages();

  void storeTT(int depth, int fullDepth, int value, int bound, int move) {
    tablesClear = false;
    TTEntry& e = tt[key & kTableMask];
    e.key = key;
    e.depth = depth;
    e.fullDepth = fullDepth;
    e.value = value;
    e.bound = bound;
    e.move = move;
  }
  TTEntry* retriveTT() {
    TTEntry* e = &tt[key & kTableMask];
    return e->key == key ? e : nullptr;
  }
  void storeTT0(int value) {
    tablesClear = false;
    TT0Entry& e = tt0[key & kTableMask];
    e.key = key;
    e.value = value;
  }
  int retriveTT0() const {
    const TT0Entry& e = tt0[key & kTableMask];
    return e.key == key ? e.value : NO_SCORE;
  }
  // Starts loading the current key's slots of both tables: they are far
  // larger than the processor's caches, and the search node or forced-line
  // evaluation entered after a move probes them first thing. Changes
  // nothing that any probe or store sees.
  void prefetchSlots() const {
#if defined(__GNUC__)
    __builtin_prefetch(&tt0[key & kTableMask]);
    __builtin_prefetch(&tt[key & kTableMask]);
#endif
  }
};

}  // namespace velm
