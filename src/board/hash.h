// VelmHash: position keys and the two direct-mapped result tables.
//
// `key` is the XOR of one random 64-bit number per stone (side, square); make
// and undo keep it current with one XOR each, so every move order reaching a
// position gives it the same key. `tt` holds search results (bounds, depths,
// best move), `tt0` plain evaluation values. Both tables have 2^tableBits
// slots; a slot is the low tableBits bits of the key, each slot holds one
// entry, the newest store wins, and the full key in the entry tells whether
// it belongs to the probed position. initTT() draws new numbers and clears
// both tables at the start of every game; it does not reset `key`. Only the
// search thread touches any of this.
//
// The tables are the bulk of the engine's memory, so their size follows the
// manager's memory limit: the owner may call setTableBits() between games,
// and the next initTT() allocates them anew (never during a game). They come
// from calloc, which gives fresh pages zeroed without writing them, so a new
// table costs nothing until the search touches it. Clearing 128 MB is most
// of what starting a game costs, so the tables are cleared only when they
// may hold something: `tablesClear` says that every byte of both is zero. It
// is true right after an allocation, false after any store, and true again
// after each clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "board/patterns.h"

namespace velm {

constexpr int BOUND_EXACT = 0;
constexpr int BOUND_UPPER = 1;
constexpr int BOUND_LOWER = 2;

// Table sizes, in bits of the slot index. The default (4,194,304 slots per
// table) is what an engine without a memory limit uses; the smallest still
// leaves the search a useful table on any board.
constexpr int kDefaultTableBits = 22;
constexpr int kMinTableBits = 12;

// The depths of a search result take one signed byte each. The search
// stores depths within kTableDepthReach of 0 (iteration depths count down
// from at most maxDepth, which stays within the reach) or of UNLIMITED (the
// full-width horizon counted down from UNLIMITED, and proven results): a
// depth near 0 is its own code, UNLIMITED - k has the code
// kTableDepthTop - k, so both ranges come back exact and in order.
constexpr int kTableDepthReach = 63;
constexpr int kTableDepthTop = 2 * kTableDepthReach + 1;
constexpr int tableDepthCode(int depth) {
  return depth > kTableDepthReach ? kTableDepthTop - (UNLIMITED - depth) : depth;
}
constexpr int tableDepth(int code) {
  return code > kTableDepthReach ? UNLIMITED - (kTableDepthTop - code) : code;
}
static_assert(tableDepth(tableDepthCode(UNLIMITED - kTableDepthReach)) ==
                  UNLIMITED - kTableDepthReach &&
              tableDepth(tableDepthCode(-kTableDepthReach)) == -kTableDepthReach);

// A search result in 16 bytes: the full key, the value, and the move (-1:
// none), the bound and the two depth codes in one 32-bit word.
struct TTEntry {
  std::uint64_t key;
  int value;
  // Bit-fields of one type, which every compiler packs into one word.
  int move : 13;
  int bound : 3;
  int depthCode : 8;
  int fullDepthCode : 8;
  int depth() const { return tableDepth(depthCode); }
  int fullDepth() const { return tableDepth(fullDepthCode); }
};
static_assert(sizeof(TTEntry) == 16 && kMaxSquares < (1 << 12));

struct TT0Entry {
  std::uint64_t key;
  int value;
};

// Bytes of both tables together at a given size.
constexpr std::uint64_t tableBytes(int bits) {
  return (std::uint64_t{1} << bits) * (sizeof(TTEntry) + sizeof(TT0Entry));
}

class VelmHash {
 public:
  VelmHash() = default;
  ~VelmHash();
  // The engine object (this class and those derived from it) lives in
  // zeroed memory from calloc, so that no field is ever read undefined.
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* block) noexcept;
  VelmHash(const VelmHash&) = delete;
  VelmHash& operator=(const VelmHash&) = delete;

  std::uint64_t key = 0;
  std::uint64_t zobrist[2][kMaxSquares];
  TTEntry* tt = nullptr;
  TT0Entry* tt0 = nullptr;
  // Slots of the allocated tables minus one; 0 while none are allocated.
  std::uint64_t tableMask = 0;
  // The size of the tables the next allocation makes (and, once allocated,
  // of the tables in use).
  int tableBits = kDefaultTableBits;
  // Every byte of tt and tt0 is zero (nothing stored since the last clear).
  bool tablesClear = false;
  // Ask for huge pages behind the tables when they are allocated; see
  // platform/memory.h for the price.
  bool hugePages = false;

  static std::uint64_t rand64();
  // New random numbers; tables of tableBits allocated if need be, and
  // cleared.
  void initTT();
  // The table size from the next initTT() on; frees tables of another size.
  void setTableBits(int bits);

  void storeTT(int depth, int fullDepth, int value, int bound, int move) {
    storeTT(key, depth, fullDepth, value, bound, move);
  }
  // Stores for the position of key `at`, which need not be on the board.
  void storeTT(std::uint64_t at, int depth, int fullDepth, int value, int bound, int move) {
    tablesClear = false;
    TTEntry& e = tt[at & tableMask];
    e.key = at;
    e.depthCode = tableDepthCode(depth);
    e.fullDepthCode = tableDepthCode(fullDepth);
    e.value = value;
    e.bound = bound;
    e.move = move;
  }
  TTEntry* retriveTT() {
    TTEntry* e = &tt[key & tableMask];
    return e->key == key ? e : nullptr;
  }
  void storeTT0(int value) { storeTT0(key, value); }
  void storeTT0(std::uint64_t at, int value) {
    tablesClear = false;
    TT0Entry& e = tt0[at & tableMask];
    e.key = at;
    e.value = value;
  }
  int retriveTT0() const { return retriveTT0(key); }
  // The plain value stored for the position of key `at`, or NO_SCORE.
  int retriveTT0(std::uint64_t at) const {
    const TT0Entry& e = tt0[at & tableMask];
    return e.key == at ? e.value : NO_SCORE;
  }
  // Starts loading the current key's slots of both tables: they are far
  // larger than the processor's caches, and the search node or forced-line
  // evaluation entered after a move probes them first thing. Changes
  // nothing that any probe or store sees.
  void prefetchSlots() const {
#if defined(__GNUC__)
    __builtin_prefetch(&tt0[key & tableMask]);
    __builtin_prefetch(&tt[key & tableMask]);
#endif
  }
  // Starts loading the plain-value slot of the position of key `at`.
  void prefetchTT0(std::uint64_t at) const {
#if defined(__GNUC__)
    __builtin_prefetch(&tt0[at & tableMask]);
#endif
  }

 private:
  void freeTables();
  // Allocates both tables at tableBits, or at the largest smaller size that
  // the system grants; false when not even the smallest could be had.
  bool allocateTables();
};

}  // namespace velm
