// VelmHash: the result tables that every search of a game shares.
//
// Two direct-mapped tables keyed by the board's 64-bit position keys: `tt`
// holds search results (bounds, depths, best move), `tt0` plain evaluation
// values. Both have 2^tableBits slots; a slot is the low tableBits bits of
// the key, each slot holds one entry, the newest store wins, and the full
// key, folded into the entry's check word, tells whether it belongs to the
// probed position. Every worker of a decision probes and stores at once,
// without locks (see TTEntry).
//
// Both tables are one block, allocated once (and again only when the size
// changes, between games), aligned to a cache line, zeroed. The engine owns
// the one VelmHash and hands a reference to its search; nothing derives
// from it. The block is the bulk of the engine's memory, so its size
// follows the manager's memory limit (setTableBits, tableBitsFor). It
// comes from calloc's fresh pages, zeroed without being written, so a new
// block costs nothing until the search touches it. Clearing 128 MB is most
// of what starting a game costs, so clear() writes only when the tables
// may hold something: `tablesClear` says that every byte of both is zero.
// It is true right after an allocation, false after any store, and true
// again after each clear.
#pragma once

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

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
constexpr std::size_t kCacheLine = 64;

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

// What a search result says: the value, and the move (-1: none), the bound
// and the two depth codes in one 32-bit word; 8 bytes in all.
struct TTData {
  int value;
  // Bit-fields of one type, which every compiler packs into one word.
  int move : 13;
  int bound : 3;
  int depthCode : 8;
  int fullDepthCode : 8;
  int depth() const { return tableDepth(depthCode); }
  int fullDepth() const { return tableDepth(fullDepthCode); }
};
static_assert(sizeof(TTData) == 8 && kMaxSquares < (1 << 12));

// A slot as stored: the data, and the key XOR the data. Every search of a
// game reads and writes the slots at once, without locks, each word as one
// relaxed atomic access; a slot whose two words come from different stores
// (or from another position) fails the check and reads as a miss.
struct TTEntry {
  std::uint64_t check;
  std::uint64_t data;
};
// A plain value: the value's bits, and the key XOR them.
struct TT0Entry {
  std::uint64_t check;
  std::uint64_t data;
};
static_assert(sizeof(TTEntry) == 16 && sizeof(TT0Entry) == 16);

// Bytes of both tables together at a given size.
constexpr std::uint64_t tableBytes(int bits) {
  return (std::uint64_t{1} << bits) * (sizeof(TTEntry) + sizeof(TT0Entry));
}

class VelmHash {
 public:
  VelmHash() = default;
  ~VelmHash();
  VelmHash(const VelmHash&) = delete;
  VelmHash& operator=(const VelmHash&) = delete;

  // The table size from the next clear() on; frees tables of another size.
  void setTableBits(int bits);
  int bits() const { return tableBits; }
  // Tables of tableBits allocated if need be (or of the largest smaller
  // size the system grants; none at all ends the process), and cleared.
  void clear();
  // Ask for huge pages behind the tables when they are allocated; see
  // platform/memory.h for the price.
  bool hugePages = false;
  // Every byte of both tables is zero (nothing stored since the last clear).
  bool isClear() const { return tablesClear.load(std::memory_order_relaxed); }
  // Slots per table minus one; 0 while none are allocated.
  std::uint64_t mask() const { return tableMask; }

  void storeTT(std::uint64_t key, int depth, int fullDepth, int value, int bound, int move) {
    markUsed();
    TTData d;
    d.value = value;
    d.move = move;
    d.bound = bound;
    d.depthCode = tableDepthCode(depth);
    d.fullDepthCode = tableDepthCode(fullDepth);
    write(tt[key & tableMask], key, std::bit_cast<std::uint64_t>(d));
  }
  // The result stored for the position of `key` into `out`; false when the
  // slot holds none for it.
  bool retriveTT(std::uint64_t key, TTData& out) const {
    std::uint64_t data;
    if (!read(tt[key & tableMask], key, data)) return false;
    out = std::bit_cast<TTData>(data);
    return true;
  }
  void storeTT0(std::uint64_t key, int value) {
    markUsed();
    write(tt0[key & tableMask], key, static_cast<std::uint32_t>(value));
  }
  // The plain value stored for the position of `key`, or NO_SCORE.
  int retriveTT0(std::uint64_t key) const {
    std::uint64_t data;
    return read(tt0[key & tableMask], key, data)
               ? static_cast<int>(static_cast<std::uint32_t>(data))
               : NO_SCORE;
  }
  // Start loading the slots of `key` (both tables, or the plain-value one):
  // the tables are far larger than the processor's caches. Changes nothing
  // that a probe or store sees.
  void prefetch(std::uint64_t key) const {
#if defined(__GNUC__)
    __builtin_prefetch(&tt0[key & tableMask]);
    __builtin_prefetch(&tt[key & tableMask]);
#endif
  }
  void prefetchTT0(std::uint64_t key) const {
#if defined(__GNUC__)
    __builtin_prefetch(&tt0[key & tableMask]);
#endif
  }

  // Tests: the raw slots.
  const TTEntry& ttSlot(std::uint64_t slot) const {
    return tt[slot];
  }
  const TT0Entry& tt0Slot(std::uint64_t slot) const {
    return tt0[slot];
  }

 private:
  // Every worker stores all the time: the flag is written only when it
  // changes, so that its cache line is not passed between processors at
  // every store.
  void markUsed() {
    if (tablesClear.load(std::memory_order_relaxed))
      tablesClear.store(false, std::memory_order_relaxed);
  }
  template <class Entry>
  static void write(Entry& e, std::uint64_t key, std::uint64_t data) {
    std::atomic_ref<std::uint64_t>(e.data).store(data, std::memory_order_relaxed);
    std::atomic_ref<std::uint64_t>(e.check).store(key ^ data, std::memory_order_relaxed);
  }
  template <class Entry>
  static bool read(const Entry& e, std::uint64_t key, std::uint64_t& data) {
    // atomic_ref reads const objects through a non-const reference only.
    data = std::atomic_ref<std::uint64_t>(const_cast<std::uint64_t&>(e.data))
               .load(std::memory_order_relaxed);
    const std::uint64_t check = std::atomic_ref<std::uint64_t>(const_cast<std::uint64_t&>(e.check))
                                    .load(std::memory_order_relaxed);
    return (check ^ data) == key;
  }
  void freeTables();
  // Allocates both tables at tableBits, or at the largest smaller size that
  // the system grants; false when not even the smallest could be had.
  bool allocateTables();

  // The one block: tt, then tt0.
  void* block = nullptr;
  TTEntry* tt = nullptr;
  TT0Entry* tt0 = nullptr;
  std::uint64_t tableMask = 0;
  // The size of the tables the next allocation makes (and, once allocated,
  // of the tables in use).
  int tableBits = kDefaultTableBits;
  std::atomic<bool> tablesClear{false};
};

}  // namespace velm
