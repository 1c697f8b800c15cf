// Board figures: building the engine object (pattern tables), the first
// init of a game (a fresh engine's ~128 MB result tables are known to be
// zero and are left untouched: the search maps their pages as it first
// stores), the cost of one makeMove+undoMove pair in a middle-game
// position, and the peak resident memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>

#include "bench.h"
#include "board/board.h"
#include "board/keys.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMiddleGameMoves = 40;
constexpr int kPairRounds = 20000;  // rounds over every candidate square
constexpr unsigned kGameSeed = 20240601;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double peakResidentMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KB on Linux
}

// Plays a reproducible game of random candidate moves from the centre.
void playMiddleGame(velm::VelmBoard& board, int moves) {
  std::mt19937 rng(kGameSeed);
  board.makeMove(board.sqIndex(board.boardWidth() / 2, board.boardHeight() / 2));
  for (int m = 1; m < moves; m++) {
    int candidates[velm::kMaxSquares];
    const int n = listCandidates(board, candidates);
    board.makeMove(candidates[rng() % n]);
  }
}

}  // namespace

int listCandidates(const velm::VelmBoard& board, int* out) {
  int n = 0;
  for (int sq = 0; sq < board.numSquares(); sq++)
    if (board.isCandidate(sq)) out[n++] = sq;
  return n;
}

void runBoardBench() {
#ifdef VELM_CHECK_BOARD
  std::printf("note: board checks are on (Debug build); timings are not meaningful\n");
#endif
  // Step 1. Construction and the first game of 15 x 15.
  Clock::time_point start = Clock::now();
  auto board = std::make_unique<velm::VelmBoard>();
  const double constructMs = msSince(start);
  start = Clock::now();
  velm::PositionKeys keys;
  keys.draw();
  board->init(15, 15, keys);
  const double init15Ms = msSince(start);
  board->makeMove(board->sqIndex(7, 7));
  const double peakMb = peakResidentMb();

  // Step 2. One make/undo pair, averaged over every candidate square of a
  // middle-game position, many times.
  board->init(15, 15, keys);
  playMiddleGame(*board, kMiddleGameMoves);
  int candidates[velm::kMaxSquares];
  const int n = listCandidates(*board, candidates);
  start = Clock::now();
  for (int round = 0; round < kPairRounds; round++) {
    for (int i = 0; i < n; i++) {
      board->makeMove(candidates[i]);
      board->undoMove();
    }
  }
  const double pairNs = msSince(start) * 1e6 / (static_cast<double>(kPairRounds) * n);
  const std::uint64_t checksum = board->key();
  board.reset();

  // Step 3. A fresh object's first game on the largest board.
  board = std::make_unique<velm::VelmBoard>();
  start = Clock::now();
  board->init(20, 20, keys);
  const double init20Ms = msSince(start);
  start = Clock::now();
  board->init(20, 20, keys);
  const double reinitMs = msSince(start);
  board.reset();

  std::printf("engine construction: %.1f ms\n", constructMs);
  std::printf("first init 15x15: %.1f ms\n", init15Ms);
  std::printf("first init 20x20: %.1f ms\n", init20Ms);
  std::printf("later init 20x20: %.1f ms\n", reinitMs);
  std::printf("makeMove+undoMove (%d candidates, %d stones): %.1f ns\n", n, kMiddleGameMoves,
              pairNs);
  std::printf("peak resident memory after construction, init and one move: %.1f MB\n", peakMb);
  std::printf("(position key after the pairs: %016llx)\n",
              static_cast<unsigned long long>(checksum));
}
