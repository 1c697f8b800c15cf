// The engine: a new game on every part, game moves, and the sizes and page
// choice of the result tables.
#include "search/brain.h"

#include <thread>

#include "platform/clock.h"
#include "platform/random.h"

namespace velm {

// Huge pages make the search about a fifth faster once the tables are mapped
// (bench, 15x15 positions). But the first search of a process maps them 2 MB
// at a time, and when memory must be compacted for that one probe can stall
// for several hundred milliseconds: first replies of 430 ms were seen at
// 200 ms turns. A first move with at least this hard limit absorbs that.
constexpr int kHugePageMinMoveLimit = 5000;

// What the process holds besides the engine object and its tables: code,
// libraries, stacks, buffers. Measured at about 5 MB (resident, peak over a
// 20x20 game); twice that leaves room.
constexpr long long kProcessBaseBytes = 10LL << 20;

// The seed of every decision under a work budget.
constexpr std::uint32_t kReproducibleSeed = 20261207;

// What a helper adds to the process: its worker, and the part of its
// thread's stack that a decision touches (the deepest forced lines seen
// take about 150 KB).
constexpr long long kHelperStackBytes = 1LL << 20;
constexpr long long kHelperBytes = static_cast<long long>(sizeof(SearchWorker)) + kHelperStackBytes;

VelmBrain::VelmBrain() : worker(tables, memo, params), threads(tables, memo, params, keys) {
  params.clock = platform::monotonicMs;
}

void VelmBrain::adviseTablePages() {
  tables.hugePages = firstMoveLimit(params) >= kHugePageMinMoveLimit;
}

int VelmBrain::tableBitsFor(long long maxMemory, bool& fits, int threads) {
  fits = true;
  if (maxMemory == 0) return kDefaultTableBits;
  const long long fixed = static_cast<long long>(sizeof(VelmBrain)) + kProcessBaseBytes +
                          (threads > 1 ? threads - 1 : 0) * kHelperBytes;
  for (int bits = kDefaultTableBits; bits >= kMinTableBits; bits--) {
    if (fixed + static_cast<long long>(tableBytes(bits)) <= maxMemory) return bits;
  }
  fits = false;
  return kMinTableBits;
}

int VelmBrain::threadsFor(int wanted, long long maxMemory, int tableBits) {
  int count = wanted < 1 ? 1 : wanted;
  const int processors = static_cast<int>(std::thread::hardware_concurrency());
  if (processors > 0 && count > processors) count = processors;
  if (count > kMaxSearchThreads) count = kMaxSearchThreads;
  if (maxMemory > 0) {
    const long long fixed = static_cast<long long>(sizeof(VelmBrain)) + kProcessBaseBytes +
                            static_cast<long long>(tableBytes(tableBits));
    while (count > 1 && fixed + (count - 1) * kHelperBytes > maxMemory) count--;
  }
  return count;
}

void VelmBrain::setThreads(int count) {
  threads.setHelpers(count - 1);
  worker.helpers = threads.helpers() > 0 ? &threads : nullptr;
}

void VelmBrain::init(int width, int height) {
  // Step 1. New position keys. The random draws of a game come in a fixed
  // order (a seed gives the same keys, openings and games), and these are
  // its first.
  keys.draw();
  // Step 2. An empty board keyed by them (a size beyond the largest board
  // ends the process here), the worker's time account afresh.
  worker.newGame(width, height, keys);
  // Step 3. Cleared tables, of the size asked for.
  tables.clear();
  // Step 4. The game memory keys its positions with this game's numbers.
  if (params.options & kOptionMemory) memo.init(width, height, &keys.zobrist[0][0], dataPath);
}

void VelmBrain::thinkMove(int& x, int& y) {
  // Step 1. Under a work budget weighed instead of the clock, the decision
  // depends on the position and the settings alone: the numbers behind the
  // keys, the tables and the random choices of the opening rules start the
  // same whatever games and moves came before, in any process.
  if (params.workClock) {
    platform::seedRandom(kReproducibleSeed);
    keys.draw();
    worker.rekey(keys);
    tables.clear();
  }
  // Step 2. The main worker decides.
  worker.thinkMove(x, y);
}

void VelmBrain::makeGameMove(int x, int y) {
  worker.makeGameMove(worker.board().sqIndex(x, y));
  if (params.options & kOptionMemory) memo.makeMove(x, y);
}

}  // namespace velm
