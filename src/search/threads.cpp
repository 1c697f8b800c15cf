// The helper threads of a parallel decision: created once, parked on a
// condition variable between decisions, woken by a new generation number.
#include "search/threads.h"

#include <system_error>

#include "search/worker.h"

namespace velm {

namespace {

// Helpers start this many plies beyond the main worker's next depth, in
// turn: one on the other parity, one a whole iteration ahead.
constexpr int kHelperDepthOffsets[] = {1, 2};
constexpr int kOffsetCount = sizeof kHelperDepthOffsets / sizeof kHelperDepthOffsets[0];

// The fields of a packed result.
constexpr int kDepthBits = 8;
constexpr int kMoveBits = 16;
constexpr std::uint64_t kDepthMask = (std::uint64_t{1} << kDepthBits) - 1;
constexpr std::uint64_t kMoveMask = (std::uint64_t{1} << kMoveBits) - 1;
constexpr int kScoreShift = kDepthBits + kMoveBits;
static_assert(kMaxSquares < (1 << (kMoveBits - 1)));

}  // namespace

struct SearchThreads::Helper {
  std::unique_ptr<SearchWorker> worker;
  std::thread thread;
  int startDepth = 0;
  std::atomic<std::uint64_t> result{0};
};

SearchThreads::SearchThreads(VelmHash& sharedTables, VelmMemo& gameMemo, const EngineParams& owner,
                             const PositionKeys& gameKeys)
    : tables(sharedTables), memo(gameMemo), params(owner), keys(gameKeys) {}

SearchThreads::~SearchThreads() {
  setHelpers(0);
}

std::uint64_t SearchThreads::pack(const HelperResult& r) {
  return static_cast<std::uint64_t>(r.depth) |
         static_cast<std::uint64_t>(r.move & kMoveMask) << kDepthBits |
         static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.score)) << kScoreShift;
}

HelperResult SearchThreads::unpack(std::uint64_t word) {
  HelperResult r;
  r.depth = static_cast<int>(word & kDepthMask);
  r.move = static_cast<int>(static_cast<std::int16_t>((word >> kDepthBits) & kMoveMask));
  r.score = static_cast<int>(static_cast<std::uint32_t>(word >> kScoreShift));
  return r;
}

bool SearchThreads::setHelpers(int count) {
  if (count == helpers()) return true;
  stop();
  // Step 1. The threads there are end (they are parked), then go.
  {
    std::lock_guard<std::mutex> hold(lock);
    quitting = true;
  }
  wake.notify_all();
  for (auto& h : workers) h->thread.join();
  workers.clear();
  quitting = false;
  // Step 2. The new ones, each with a worker of its own whose clock is the
  // main worker's stop.
  for (int k = 0; k < count; k++) {
    auto helper = std::make_unique<Helper>();
    helper->worker.reset(new (std::nothrow) SearchWorker(tables, memo, params));
    if (helper->worker == nullptr) return false;
    helper->worker->time.stopSignal = &stopFlag;
    Helper& h = *helper;
    // The one place that catches: the system may refuse a thread, and the
    // decision then goes on with the helpers it has.
    try {
      h.thread = std::thread([this, &h] { run(h); });
    } catch (const std::system_error&) {
      return false;
    }
    workers.push_back(std::move(helper));
  }
  return true;
}

void SearchThreads::run(Helper& h) {
  std::uint64_t seen = 0;
  for (;;) {
    int depth;
    {
      std::unique_lock<std::mutex> hold(lock);
      wake.wait(hold, [&] { return quitting || generation != seen; });
      if (quitting) return;
      seen = generation;
      depth = h.startDepth;
    }
    h.worker->helpSearch(depth, fullDepthNow, h.result);
    {
      std::lock_guard<std::mutex> hold(lock);
      if (--busy == 0) parked.notify_all();
    }
  }
}

void SearchThreads::start(const SearchWorker& main, int nextDepth, int fullDepth) {
  if (workers.empty()) return;
  // The helpers are parked: their boards are written here, on the main
  // worker's thread, and the lock hands them over.
  int k = 0;
  for (auto& h : workers) {
    h->worker->prepareHelp(main, keys);
    h->startDepth = nextDepth + kHelperDepthOffsets[k++ % kOffsetCount];
    h->result.store(0, std::memory_order_relaxed);
  }
  stopFlag.store(false, std::memory_order_relaxed);
  fullDepthNow.store(fullDepth, std::memory_order_relaxed);
  {
    std::lock_guard<std::mutex> hold(lock);
    busy = helpers();
    generation++;
  }
  started = true;
  wake.notify_all();
}

void SearchThreads::stop() {
  if (!started) return;
  stopFlag.store(true, std::memory_order_relaxed);
  std::unique_lock<std::mutex> hold(lock);
  parked.wait(hold, [&] { return busy == 0; });
  started = false;
}

HelperResult SearchThreads::deepest() const {
  HelperResult best;
  for (const auto& h : workers) {
    const HelperResult r = unpack(h->result.load(std::memory_order_relaxed));
    if (r.depth > best.depth) best = r;
  }
  return best;
}

std::uint64_t SearchThreads::nodes() const {
  std::uint64_t sum = 0;
  for (const auto& h : workers) sum += h->worker->nodeCount();
  return sum;
}

}  // namespace velm
