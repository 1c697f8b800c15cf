// The result tables' memory: one aligned zeroed block for both, cleared only
// when something was stored.
#include "search/tables.h"

#include <cstring>

#include "log/log.h"
#include "platform/memory.h"

namespace velm {

VelmHash::~VelmHash() {
  freeTables();
}

void VelmHash::setTableBits(int bits) {
  if (bits == tableBits) return;
  freeTables();
  tableBits = bits;
}

void VelmHash::freeTables() {
  platform::freeZeroed(block);
  block = nullptr;
  tt = nullptr;
  tt0 = nullptr;
  tableMask = 0;
}

bool VelmHash::allocateTables() {
  static_assert(sizeof(TTEntry) * (std::uint64_t{1} << kMinTableBits) % kCacheLine == 0);
  for (int bits = tableBits; bits >= kMinTableBits; bits--) {
    const std::size_t slots = std::size_t{1} << bits;
    block = platform::allocateZeroed(static_cast<std::size_t>(tableBytes(bits)), kCacheLine);
    if (block == nullptr) continue;
    tt = static_cast<TTEntry*>(block);
    tt0 = reinterpret_cast<TT0Entry*>(tt + slots);
    tableBits = bits;
    tableMask = slots - 1;
    tablesClear = true;
    if (hugePages) platform::adviseHugePages(block, static_cast<std::size_t>(tableBytes(bits)));
    return true;
  }
  return false;
}

void VelmHash::clear() {
  // Step 1. Tables of the size asked for (the first game, or a new size).
  if (block == nullptr && !allocateTables()) erro("Not enough memory for the engine");
  // Step 2. Every entry reads as key 0 with all fields 0. Tables with
  // nothing stored since they were last cleared (a game without a search,
  // fresh tables) already do.
  if (!tablesClear) {
    std::memset(block, 0, static_cast<std::size_t>(tableBytes(tableBits)));
    tablesClear = true;
  }
}

}  // namespace velm
