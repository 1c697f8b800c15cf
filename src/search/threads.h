// SearchThreads: the helpers of a parallel decision — search workers of
// their own, each on a thread that is created once and parked between
// decisions.
//
// The decision is the main worker's: it owns the time account, the
// iteration tests and the answer. After its first iteration it hands its
// position and root list to the helpers (start(), on its own thread, while
// they are parked) and they deepen on their own boards, one or two plies
// ahead of it and on alternating parities, sharing its result tables, so
// that the main worker's iterations find their work done. Each helper
// publishes its deepest completed iteration; the main worker stops them all
// when it ends (stop() returns once every one is parked again) and may take
// a deeper result than its own. The engine owns this object and resizes it
// between decisions only.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "board/keys.h"
#include "memo/memo.h"
#include "search/params.h"
#include "search/tables.h"

namespace velm {

class SearchWorker;

// The most threads a decision uses, the main one included.
constexpr int kMaxSearchThreads = 64;

// A helper's deepest completed iteration: its depth, best move and score.
struct HelperResult {
  int depth = 0;  // 0: none completed
  int move = -1;
  int score = 0;
};

class SearchThreads {
 public:
  SearchThreads(VelmHash& tables, VelmMemo& memo, const EngineParams& params,
                const PositionKeys& keys);
  ~SearchThreads();
  SearchThreads(const SearchThreads&) = delete;
  SearchThreads& operator=(const SearchThreads&) = delete;

  // Between decisions: exactly `count` helpers from now on (threads and
  // workers created or ended as needed). False when the system refused a
  // thread or the memory of a worker; the helpers made so far stay.
  bool setHelpers(int count);
  int helpers() const { return static_cast<int>(workers.size()); }

  // The main worker, at its root position after an iteration: every helper
  // takes the position and root list, then deepens from `nextDepth` on (the
  // main worker's next depth) under the full-width horizon `fullDepth`.
  void start(const SearchWorker& main, int nextDepth, int fullDepth);
  // The main worker's full-width horizon changed: helpers use it from their
  // next iteration.
  void setFullDepth(int fullDepth) { fullDepthNow.store(fullDepth, std::memory_order_relaxed); }
  // The deepest iteration any helper has completed so far (the deepest
  // result of the lowest helper among equals); safe while they search.
  HelperResult deepest() const;
  // Stops every helper and returns when all are parked; nothing to do when
  // none was started.
  void stop();
  bool running() const { return started; }
  // Nodes the helpers searched since they were made; safe while they search.
  std::uint64_t nodes() const;

  // A helper's iteration, packed into one word so that it is published
  // whole.
  static std::uint64_t pack(const HelperResult& r);
  static HelperResult unpack(std::uint64_t word);

 private:
  struct Helper;
  void run(Helper& helper);

  VelmHash& tables;
  VelmMemo& memo;
  const EngineParams& params;
  const PositionKeys& keys;

  std::vector<std::unique_ptr<Helper>> workers;
  std::mutex lock;
  std::condition_variable wake;    // helpers wait for a new decision or the end
  std::condition_variable parked;  // the main worker waits for all to stop
  std::uint64_t generation = 0;    // decisions started so far
  int busy = 0;                    // helpers not parked
  bool quitting = false;
  bool started = false;  // helpers search this decision (main thread only)
  std::atomic<bool> stopFlag{false};
  std::atomic<int> fullDepthNow{0};
};

}  // namespace velm
