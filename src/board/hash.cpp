// Random numbers of the position keys, and the result tables' memory.
#include "board/hash.h"

#include <cstdlib>
#include <cstring>

#include "log/log.h"
#include "platform/memory.h"
#include "platform/random.h"

namespace velm {

namespace {

// Bits contributed by one draw of the 15-bit generator.
constexpr int kDrawBits = 15;

}  // namespace

void* VelmHash::operator new(std::size_t size) {
  void* block = std::calloc(1, size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* VelmHash::operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::calloc(1, size);
}

void VelmHash::operator delete(void* block) noexcept {
  std::free(block);
}

VelmHash::~VelmHash() {
  freeTables();
}

std::uint64_t VelmHash::rand64() {
  // Five draws in this order, each 15 bits further up; the fifth keeps only
  // its low 4 bits.
  const std::uint64_t r1 = static_cast<std::uint64_t>(platform::nextRandom());
  const std::uint64_t r2 = static_cast<std::uint64_t>(platform::nextRandom());
  const std::uint64_t r3 = static_cast<std::uint64_t>(platform::nextRandom());
  const std::uint64_t r4 = static_cast<std::uint64_t>(platform::nextRandom());
  const std::uint64_t r5 = static_cast<std::uint64_t>(platform::nextRandom());
  return r1 ^ (r2 << kDrawBits) ^ (r3 << (2 * kDrawBits)) ^ (r4 << (3 * kDrawBits)) ^
         (r5 << (4 * kDrawBits));
}

void VelmHash::setTableBits(int bits) {
  if (bits == tableBits) return;
  freeTables();
  tableBits = bits;
}

void VelmHash::freeTables() {
  std::free(tt);
  std::free(tt0);
  tt = nullptr;
  tt0 = nullptr;
  tableMask = 0;
}

bool VelmHash::allocateTables() {
  for (int bits = tableBits; bits >= kMinTableBits; bits--) {
    const std::size_t slots = std::size_t{1} << bits;
    // For blocks this large calloc maps fresh pages, which the system
    // supplies zeroed, and writes none of them.
    tt = static_cast<TTEntry*>(std::calloc(slots, sizeof(TTEntry)));
    tt0 = static_cast<TT0Entry*>(std::calloc(slots, sizeof(TT0Entry)));
    if (tt != nullptr && tt0 != nullptr) {
      tableBits = bits;
      tableMask = slots - 1;
      tablesClear = true;
      if (hugePages) {
        platform::adviseHugePages(tt, slots * sizeof(TTEntry));
        platform::adviseHugePages(tt0, slots * sizeof(TT0Entry));
      }
      return true;
    }
    freeTables();
  }
  return false;
}

void VelmHash::initTT() {
  // Step 1. The two sides' numbers of a square are drawn one after the other.
  for (int sq = 0; sq < kMaxSquares; sq++) {
    zobrist[0][sq] = rand64();
    zobrist[1][sq] = rand64();
  }
  // Step 2. Tables of the size asked for (the first game, or a new size).
  if (tt == nullptr && !allocateTables()) erro("Not enough memory for the engine");
  // Step 3. Every entry reads as key 0 with all fields 0. Tables with
  // nothing stored since they were last cleared (a game without a search,
  // fresh tables) already do.
  if (!tablesClear) {
    std::memset(tt, 0, (tableMask + 1) * sizeof(TTEntry));
    std::memset(tt0, 0, (tableMask + 1) * sizeof(TT0Entry));
    tablesClear = true;
  }
}

}  // namespace velm
