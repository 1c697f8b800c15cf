// Random numbers of the position keys and the start of a game's tables.
#include "board/hash.h"

#include <cstring>

#include "platform/memory.h"
#include "platform/random.h"

namespace velm {

namespace {

// Bits contributed by one draw of the 15-bit generator.
constexpr int kDrawBits = 15;

}  // namespace

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
  // Step 2. Every entry reads as key 0 with all fields 0. Huge pages make the
  // first clear (the first touch of the tables) several times cheaper.
  platform::adviseHugePages(tt, sizeof tt);
  platform::adviseHugePages(tt0, sizeof tt0);
  std::memset(tt, 0, sizeof tt);
  std::memset(tt0, 0, sizeof tt0);
}

}  // namespace velm
