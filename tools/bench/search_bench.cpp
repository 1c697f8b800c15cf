// The search suite: positions from self-played games, each decided by
// thinkMove to a fixed depth. The time rules never stop these searches, and
// every position starts from the same seed, so the node counts depend only on
// the engine's code: their sum is the signature of the build. A change that
// alters it changes the search, and tools/bench/signature.txt must follow.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "bench.h"
#include "platform/random.h"
#include "search/brain.h"

namespace {

struct BenchPosition {
  const char* name;
  int size;
  int maxDepth;
  const char* moves;  // "x,y" of each stone in the order of play
};

// Move lists recorded from the engine's own games (side 0 first).
const BenchPosition kPositions[] = {
    {"opening", 15, 6, "7,7 8,8 8,7 6,7"},
    {"opening", 20, 6, "10,10 9,9 9,8 10,7"},
    {"opening", 15, 4, "7,7 8,6 6,7 7,5"},
    {"opening, second player to move", 20, 6, "10,10 11,9 11,10 9,10 12,10 10,11 8,9"},
    {"middle game", 15, 6, "7,7 8,8 8,7 6,7 9,7 6,8 9,8 6,6 6,5 7,6 9,6 9,5"},
    {"middle game", 20, 4, "10,10 9,9 9,8 10,7 11,9 11,7 10,8 9,7 8,7 11,8 10,9 11,10"},
    {"middle game", 15, 4, "7,7 8,8 9,8 10,7 8,6 10,6 9,7 9,5 10,8 7,5 9,9 9,10"},
    {"middle game", 15, 4,
     "7,7 8,8 9,8 10,7 8,6 10,6 9,7 9,5 10,8 7,5 9,9 9,10 10,9 11,9 8,7 7,6 11,7 8,10"},
    {"middle game", 20, 4,
     "10,10 11,11 12,11 13,10 11,9 13,9 12,10 12,8 13,11 10,8 12,12 12,13 13,12 14,12 11,10 10,9 "
     "14,10 11,13"},
    {"middle game", 15, 4, "7,7 8,8 8,9 7,10 6,7 6,10 7,9 6,9 7,8 9,10 8,10 5,7"},
    {"middle game", 15, 4,
     "7,7 8,8 8,9 7,10 6,7 6,10 7,9 6,9 7,8 9,10 8,10 5,7 8,11 9,11 9,9 6,12 6,11 8,12"},
    {"middle game", 20, 4,
     "10,10 9,11 9,12 10,13 11,10 11,13 12,10 9,10 10,12 9,13 12,13 8,13 7,13 12,11 11,12 12,12 "
     "13,11 13,10"},
    {"forced defence", 15, 6,
     "7,7 8,8 8,9 7,10 6,7 6,10 7,9 6,9 7,8 9,10 8,10 5,7 8,11 9,11 9,9 6,12 6,11 8,12 8,6 7,5 9,5 "
     "10,4 11,7 10,8 9,7 9,8 10,7 8,7 9,6 8,4 6,6 7,6"},
    {"endgame, won", 15, 6,
     "7,7 8,8 9,8 10,7 8,6 10,6 9,7 9,5 10,8 7,5 9,9 9,10 10,9 11,9 8,7 7,6 11,7 8,10 11,10 12,11 "
     "8,5 8,4 9,3 5,7 12,6 13,5 11,5 10,4 11,4 11,6 10,5 7,8 12,3 9,6 4,8 7,4 7,3 5,6 13,2 14,1 "
     "6,4 4,6 8,9 6,5 7,9 6,9 4,7"},
    {"endgame", 15, 6,
     "7,7 8,8 8,9 7,10 6,7 6,10 7,9 6,9 7,8 9,10 8,10 5,7 8,11 9,11 9,9 6,12 6,11 8,12 8,6 7,5 9,5 "
     "10,4 11,7 10,8 9,7 9,8 10,7 8,7 9,6 8,4 6,6 7,6 6,5 10,9 11,10 11,8 12,8 12,7 13,6 6,4 5,6 "
     "4,5 7,4 8,3 10,6 13,9 11,6 12,6 11,5 8,5 12,4 13,3 11,3 11,4 5,9 6,8 13,5 10,2"},
    {"endgame, lost", 15, 6,
     "7,7 8,8 8,9 7,10 6,7 6,10 7,9 6,9 7,8 9,10 8,10 5,7 8,11 9,11 9,9 6,12 6,11 8,12 8,6 7,5 9,5 "
     "10,4 11,7 10,8 9,7 9,8 10,7 8,7 9,6 8,4 6,6 7,6 6,5 10,9 11,10 11,8 12,8 12,7 13,6 6,4 5,6 "
     "4,5 7,4 8,3 10,6 13,9 11,6 12,6 11,5 8,5 12,4 13,3 11,3 11,4 5,9 6,8 13,5 10,2 12,5 10,5 "
     "13,4 14,3 13,8 13,7 4,7 3,8 10,3 9,3 11,1 5,3 8,1 3,5"},
    {"endgame", 20, 4,
     "10,10 9,11 9,12 10,13 11,10 11,13 12,10 9,10 10,12 9,13 12,13 8,13 7,13 12,11 11,12 12,12 "
     "13,11 13,10 11,9 10,8 12,9 11,11 10,11 13,8 12,8 12,7 10,9 9,9 13,14 14,15 7,12 8,12 7,11 "
     "7,14 14,12 15,13 14,9 13,9 13,7 14,6 14,11 14,10 13,13 9,8 9,7 13,15 15,11 16,10 15,10 13,12 "
     "15,9 15,8 7,9 7,10 8,8 6,10 11,5 10,6 16,11 17,11 12,6 14,8"},
    {"endgame, forced replies", 20, 6,
     "10,10 9,11 9,12 10,13 11,10 11,13 12,10 9,10 10,12 9,13 12,13 8,13 7,13 12,11 11,12 12,12 "
     "13,11 13,10 11,9 10,8 12,9 11,11 10,11 13,8 12,8 12,7 10,9 9,9 13,14 14,15 7,12 8,12 7,11 "
     "7,14 14,12 15,13 14,9 13,9 13,7 14,6 14,11 14,10 13,13 9,8 9,7 13,15 15,11 16,10 15,10 13,12 "
     "15,9 15,8 7,9 7,10 8,8 6,10 11,5 10,6 16,11 17,11 12,6 14,8 10,4 9,3 11,15 12,14 17,12 18,13 "
     "8,10 6,11 8,9"},
    {"endgame, won", 20, 6,
     "10,10 11,11 12,11 13,10 11,9 13,9 12,10 12,8 13,11 10,8 12,12 12,13 13,12 14,12 11,10 10,9 "
     "14,10 11,13 11,8 11,7 14,13 15,14 9,9 8,10 9,11 10,7 10,6 12,7 9,7 12,6 12,5 13,7 14,7 13,8 "
     "13,6 13,5 14,4 11,4 11,5 8,8 13,3 12,4 14,6 14,5 9,8 9,10 15,5 16,6 9,5 9,6 12,2 11,1 8,12 "
     "7,13 16,11 15,9 16,9 15,8 14,11 15,11 15,10 17,8 16,10 16,8 14,8 14,9"},
};

// Long enough that neither the turn nor the match limit ever ends a search.
constexpr int kUnlimitedMs = 2000000000;
constexpr std::uint32_t kBenchSeed = 1;
// The brain's own depth limit, for decisions under a turn time.
constexpr int kTurnMaxDepth = 24;

// The depths whose time to completion the suite reports, and the time each
// position took to complete them (-1: not reached).
constexpr int kReportDepths[] = {6, 8, 10};
constexpr int kReportCount = sizeof kReportDepths / sizeof kReportDepths[0];

using Clock = std::chrono::steady_clock;

struct DepthTimes {
  Clock::time_point start;
  double ms[kReportCount];
};

// The times of the position being searched (the bench runs one at a time).
DepthTimes times;

void noteIteration(void* context, const velm::IterationInfo& info) {
  auto& times = *static_cast<DepthTimes*>(context);
  for (int k = 0; k < kReportCount; k++) {
    if (info.depth == kReportDepths[k])
      times.ms[k] = std::chrono::duration<double, std::milli>(Clock::now() - times.start).count();
  }
}

// Nodes and times of one pass over the positions, and the sums of the times
// to depth over the positions that reached it.
struct SearchPass {
  std::uint64_t nodes = 0;
  double ms = 0;
  double cpuMs = 0;
  double depthMs[kReportCount] = {};
  int reached[kReportCount] = {};
};

constexpr int kMaxPasses = 100;

// One pass over the positions; prints each position's line when `print`.
SearchPass runPass(velm::VelmBrain& b, const BenchOptions& options, bool print) {
  const bool timesToDepth = options.threads != 1 || options.depth != 0 || options.turnMs != 0;
  SearchPass pass;
  if (timesToDepth) {
    b.params.iterationListener = noteIteration;
    b.params.listenerContext = &times;
  }
  int index = 0;
  for (const BenchPosition& pos : kPositions) {
    index++;
    // The game memory is off: the bench reads and writes no file.
    platform::seedRandom(kBenchSeed);
    b.params.options = velm::kOptionRichEval;
    b.params.timeoutTurn = options.turnMs > 0 ? options.turnMs : kUnlimitedMs;
    b.params.timeoutMatch = kUnlimitedMs;
    b.params.minDepth = velm::kDefaultMinDepth;
    const int maxDepth = options.depth > 0    ? options.depth
                         : options.turnMs > 0 ? kTurnMaxDepth
                                              : pos.maxDepth;
    b.params.maxDepth = maxDepth;
    b.init(pos.size, pos.size);
    const int stones = playMoves(b, pos.moves);

    const std::uint64_t nodesBefore = b.allNodes();
    const Clock::time_point start = Clock::now();
    times.start = start;
    for (double& t : times.ms) t = -1;
    const std::clock_t cpuStart = std::clock();
    int x = -1, y = -1;
    b.thinkMove(x, y);
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const std::uint64_t nodes = b.allNodes() - nodesBefore;

    // A single forced answer is played unsearched: no score.
    int score = 0;
    const velm::SearchWorker& w = b.worker;
    for (int i = 0; w.rootCount > 1 && i < w.rootCount; i++) {
      if (w.rootMoves[i].move == b.board().sqIndex(x, y)) score = w.rootMoves[i].score;
    }
    if (print) {
      std::printf(
          "position %2d (%s, %dx%d, %d stones, depth %d): best %d,%d score %d nodes %llu time "
          "%.0f ms",
          index, pos.name, pos.size, pos.size, stones, maxDepth, x, y, score,
          static_cast<unsigned long long>(nodes), ms);
      for (int k = 0; timesToDepth && k < kReportCount; k++) {
        if (times.ms[k] >= 0) std::printf(", depth %d at %.0f ms", kReportDepths[k], times.ms[k]);
      }
      std::printf("\n");
    }
    for (int k = 0; k < kReportCount; k++) {
      if (times.ms[k] < 0) continue;
      pass.depthMs[k] += times.ms[k];
      pass.reached[k]++;
    }
    pass.nodes += nodes;
    pass.ms += ms;
    pass.cpuMs += cpuMs;
  }
  return pass;
}

double median(double* values, int n) {
  std::sort(values, values + n);
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int playMoves(velm::VelmBrain& b, const char* moves) {
  int count = 0;
  const char* p = moves;
  while (*p != '\0') {
    char* end = nullptr;
    const long x = std::strtol(p, &end, 10);
    const long y = std::strtol(end + 1, &end, 10);
    b.makeGameMove(static_cast<int>(x), static_cast<int>(y));
    count++;
    p = end;
    while (*p == ' ') p++;
  }
  return count;
}

void runSearchBench(const BenchOptions& options) {
  // VELMARO_BENCH_PASSES=N repeats the suite N times in this process and
  // reports the median pass. A process's first pass also pays for the
  // system mapping the engine's table pages as the search first touches
  // them; the median of several passes leaves that out, and evens out a
  // busy machine.
  int passes = 1;
  if (const char* env = std::getenv("VELMARO_BENCH_PASSES")) passes = std::atoi(env);
  if (passes < 1) passes = 1;
  if (passes > kMaxPasses) passes = kMaxPasses;

  auto brain = std::make_unique<velm::VelmBrain>();
  // The page choice of a brain with the default (tournament) time settings.
  brain->adviseTablePages();
  brain->setThreads(velm::VelmBrain::threadsFor(options.threads, 0, 0));
  double ms[kMaxPasses];
  double cpuMs[kMaxPasses];
  const SearchPass first = runPass(*brain, options, true);
  ms[0] = first.ms;
  cpuMs[0] = first.cpuMs;
  for (int p = 1; p < passes; p++) {
    const SearchPass pass = runPass(*brain, options, false);
    if (pass.nodes != first.nodes) {
      std::printf("search pass %d: %llu nodes, not %llu\n", p + 1,
                  static_cast<unsigned long long>(pass.nodes),
                  static_cast<unsigned long long>(first.nodes));
    }
    ms[p] = pass.ms;
    cpuMs[p] = pass.cpuMs;
  }
  if (passes > 1) {
    for (int p = 0; p < passes; p++)
      std::printf("search pass %d: %.0f ms, processor %.0f ms\n", p + 1, ms[p], cpuMs[p]);
    std::printf("search passes: %d (figures below: the median pass)\n", passes);
  }
  const double totalMs = median(ms, passes);
  const double totalCpuMs = median(cpuMs, passes);
  const std::uint64_t totalNodes = first.nodes;
  std::printf("search nodes: %llu\n", static_cast<unsigned long long>(totalNodes));
  std::printf("search time: %.0f ms\n", totalMs);
  std::printf("search speed: %.0f nodes/s\n", totalMs > 0 ? totalNodes * 1000.0 / totalMs : 0.0);
  std::printf("search processor time: %.0f ms\n", totalCpuMs);
  std::printf("search speed (processor time): %.0f nodes/s\n",
              totalCpuMs > 0 ? totalNodes * 1000.0 / totalCpuMs : 0.0);
  if (options.threads == 1 && options.depth == 0 && options.turnMs == 0) {
    std::printf("signature: %llu\n", static_cast<unsigned long long>(totalNodes));
    return;
  }
  // Several threads search differently from run to run: no signature.
  std::printf("search threads: %d\n", brain->threadCount());
  for (int k = 0; k < kReportCount; k++) {
    std::printf("time to depth %d: %.0f ms over the %d positions that reached it\n",
                kReportDepths[k], first.depthMs[k], first.reached[k]);
  }
}
