// Random numbers of the position keys and the start of a game's tables.
#include "board/hash.h"

#include <cstdlib>
#include <cstring>

#include "platform/memory.h"
#include "platform/random.h"

namespace velm {

namespace {

// Bits contributed by one draw of the 15-bit generator.
constexpr int kDrawBits = 15;

// The block that operator new last handed out zeroed, until the object
// constructed in it takes note (the constructor runs right after, on the
// same thread).
thread_local const void* zeroedBlock = nullptr;

void* allocateZeroed(std::size_t size) {
  // For a block this large calloc maps fresh pages, which the system
  // supplies zeroed, and writes none of them.
  void* block = std::calloc(1, size);
  zeroedBlock = block;
  return block;
}

}  // namespace

void* VelmHash::operator new(std::size_t size) {
  void* block = allocateZeroed(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* VelmHash::operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocateZeroed(size);
}

void VelmHash::operator delete(void* block) noexcept {
  std::free(block);
}

VelmHash::VelmHash() {
  // The base is at the start of the engine object, so an object built in a
  // block from operator new has the block's address. Any other storage may
  // hold anything: the first initTT clears it.
  tablesClear = zeroedBlock != nullptr && zeroedBlock == static_cast<const void*>(this);
  zeroedBlock = nullptr;
}

void VelmHash::adviseHugePages() {
  platform::adviseHugePages(tt, sizeof tt);
  platform::adviseHugePages(tt0, sizeof tt0);
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

void VelmHash::initTT() {
  // Step 1. The two sides' numbers of a square are drawn one after the other.
  for (int sq = 0; sq < kMaxSquares; sq++) {
    zobrist[0][sq] = rand64();
    zobrist[1][sq] = rand64();
  }
  // Step 2. Every entry reads as key 0 with all fields 0. Tables with
  // nothing stored since they were last cleared (a game without a search,
  // a fresh object) already do.
  if (!tablesClear) {
    std::memset(tt, 0, sizeof tt);
    std::memset(tt0, 0, sizeof tt0);
    tablesClear = true;
  }
}

}  // namespace velm
