// The process's pseudo-random generator: the linear congruential generator of
// the Microsoft C runtime (15-bit results, 0..32767), so that a given seed
// draws the same position keys, opening moves and memory keys on Linux and
// on Windows. One state for the whole process; the command loop and the
// worker never draw at the same time (they hand the engine over by events).
#pragma once

#include <cstdint>

namespace platform {

constexpr int kRandomMax = 32767;

void seedRandom(std::uint32_t seed);
int nextRandom();

}  // namespace platform
