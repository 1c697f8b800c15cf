// Drawing the position keys' random numbers.
#include "board/keys.h"

#include "platform/random.h"

namespace velm {

namespace {

// Bits contributed by one draw of the 15-bit generator.
constexpr int kDrawBits = 15;

}  // namespace

std::uint64_t PositionKeys::rand64() {
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

void PositionKeys::draw() {
  for (int sq = 0; sq < kMaxSquares; sq++) {
    zobrist[0][sq] = rand64();
    zobrist[1][sq] = rand64();
  }
}

}  // namespace velm
