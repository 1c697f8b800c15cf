// The deadline suite: how late can a reply come under timeout_turn 1000?
// The hard limit stops a search at the first clock reading after
// 1000 - 50 ms; the clock is read once per 1000 search nodes or forced-line
// replies, so the reply is late by at most the longest gap between two
// readings plus the unwinding. This suite measures both, on sharp positions
// from self-play (forced lines that branch into millions of positions) and
// on one whole game, with the real clock.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>

#include "bench.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "search/brain.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTurnMs = 1000;
constexpr int kMatchMs = 1000000000;

struct SharpPosition {
  int size;
  const char* moves;
};

const SharpPosition kSharp[] = {
    {15, "7,7 8,6 6,7 7,5"},
    {20, "10,10 9,9 9,8 10,7 11,9 11,7 10,8 9,7 8,7 11,8 10,9 11,10"},
    {20,
     "10,10 11,11 12,11 13,10 11,9 13,9 12,10 12,8 13,11 10,8 12,12 12,13 13,12 14,12 11,10 10,9 "
     "14,10 11,13"},
    {15, "7,7 8,8 8,9 7,10 6,7 6,10 7,9 6,9 7,8 9,10 8,10 5,7"},
    {15, "7,7 8,8 8,9 7,10 6,7 6,10 7,9 6,9 7,8 9,10 8,10 5,7 8,11 9,11 9,9 6,12 6,11 8,12"},
    {20,
     "10,10 9,11 9,12 10,13 11,10 11,13 12,10 9,10 10,12 9,13 12,13 8,13 7,13 12,11 11,12 12,12 "
     "13,11 13,10"},
    {20,
     "10,10 9,11 9,12 10,13 11,10 11,13 12,10 9,10 10,12 9,13 12,13 8,13 7,13 12,11 11,12 12,12 "
     "13,11 13,10 11,9 10,8 12,9 11,11 10,11 13,8 12,8 12,7 10,9 9,9 13,14 14,15 7,12 8,12 7,11 "
     "7,14 14,12 15,13 14,9 13,9 13,7 14,6 14,11 14,10 13,13 9,8 9,7 13,15 15,11 16,10 15,10 13,12 "
     "15,9 15,8 7,9 7,10 8,8 6,10 11,5 10,6 16,11 17,11 12,6 14,8"},
    {15, "7,7 8,8 9,8 10,7 8,6 10,6 9,7"},
};

// The engine's clock, wrapped to note the longest gap between two readings
// inside one decision, in elapsed time and in processor time (std::clock:
// the process's own work on Linux, without the time other programs took the
// processor; elapsed time again on Windows).
Clock::time_point lastRead;
std::clock_t lastReadCpu;
double longestGapMs = 0;
double longestCpuGapMs = 0;

int trackedClock() {
  const Clock::time_point now = Clock::now();
  const std::clock_t cpu = std::clock();
  const double gap = std::chrono::duration<double, std::milli>(now - lastRead).count();
  const double cpuGap = 1000.0 * static_cast<double>(cpu - lastReadCpu) / CLOCKS_PER_SEC;
  if (gap > longestGapMs) longestGapMs = gap;
  if (cpuGap > longestCpuGapMs) longestCpuGapMs = cpuGap;
  lastRead = now;
  lastReadCpu = cpu;
  return platform::monotonicMs();
}

struct Worst {
  double replyMs = 0;
  double gapMs = 0;
  double cpuGapMs = 0;
  int decisions = 0;
};

// One decision on the current position; returns the chosen square.
void decide(velm::VelmBrain& b, Worst& worst, int& x, int& y, double& replyMs) {
  longestGapMs = 0;
  longestCpuGapMs = 0;
  const Clock::time_point start = Clock::now();
  lastRead = start;
  lastReadCpu = std::clock();
  b.thinkMove(x, y);
  replyMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (replyMs > worst.replyMs) worst.replyMs = replyMs;
  if (longestGapMs > worst.gapMs) worst.gapMs = longestGapMs;
  if (longestCpuGapMs > worst.cpuGapMs) worst.cpuGapMs = longestCpuGapMs;
  worst.decisions++;
}

void newGame(velm::VelmBrain& b, int size) {
  platform::seedRandom(1);
  b.params.options = velm::kOptionRichEval;
  b.params.timeoutTurn = kTurnMs;
  b.params.timeoutMatch = kMatchMs;
  b.params.maxDepth = 24;
  b.params.clock = trackedClock;
  b.init(size, size);
}

}  // namespace

void runDeadlineBench() {
  auto brain = std::make_unique<velm::VelmBrain>();
  velm::VelmBrain& b = *brain;
  // The page choice of a brain created for these turns.
  b.params.timeoutTurn = kTurnMs;
  b.params.timeoutMatch = kMatchMs;
  b.adviseTablePages();
  Worst worst;
  int index = 0;
  for (const SharpPosition& pos : kSharp) {
    newGame(b, pos.size);
    const int stones = playMoves(b, pos.moves);
    const std::uint64_t nodes = b.nodes();
    int x, y;
    double ms;
    decide(b, worst, x, y, ms);
    std::printf(
        "sharp position %d (%dx%d, %d stones): reply %.1f ms, nodes %llu, longest gap %.1f ms "
        "(processor %.1f ms)\n",
        ++index, pos.size, pos.size, stones, ms, static_cast<unsigned long long>(b.nodes() - nodes),
        longestGapMs, longestCpuGapMs);
  }
  // A whole game of the engine against itself.
  newGame(b, 15);
  while (b.board().moveCount() < b.board().numSquares()) {
    int x, y;
    double ms;
    decide(b, worst, x, y, ms);
    b.makeGameMove(x, y);
    if (b.checkWin()) break;
  }
  std::printf("self-played game: %d moves\n", b.board().moveCount());
  std::printf("deadline decisions: %d\n", worst.decisions);
  std::printf("deadline stop point: %d ms\n", kTurnMs - velm::kDefaultTimeMargin);
  std::printf("deadline worst reply: %.1f ms\n", worst.replyMs);
  std::printf("deadline longest gap between clock readings: %.1f ms\n", worst.gapMs);
  std::printf("deadline longest gap in processor time: %.1f ms\n", worst.cpuGapMs);
}
