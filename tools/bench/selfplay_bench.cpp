// The self-play suite: 200 decisions of the engine playing itself from
// seeded random openings, each stopped by a work budget (nodeLimit) instead
// of the clock, so the decisions depend only on the engine's code. It prints
// a hash of every decision's move and score, and the total search nodes: a
// change meant to leave the search alone (a faster board, say) must leave
// both as they were. Budgets vary from decision to decision, so that the
// stop falls in every phase of the search, forced lines included.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>

#include "bench.h"
#include "platform/random.h"
#include "search/brain.h"

namespace {

constexpr int kDecisions = 200;
constexpr int kDecisionsPerGame = 25;
constexpr std::uint32_t kSelfPlaySeed = 14;
constexpr int kMinRandomStones = 1;
constexpr int kMaxRandomStones = 6;
constexpr std::uint64_t kMinBudget = 2000;
constexpr std::uint64_t kMaxBudget = 40000;
constexpr int kUnlimitedMs = 2000000000;
constexpr int kMaxDepth = 24;  // the depth limit the brain plays with
constexpr int kBoardSizes[] = {15, 20};

// 64-bit FNV-1a, fed one integer at a time.
struct Fnv {
  std::uint64_t h = 14695981039346656037ULL;
  void add(long long v) {
    for (int i = 0; i < 8; i++) {
      h ^= static_cast<std::uint64_t>(v >> (8 * i)) & 0xFF;
      h *= 1099511628211ULL;
    }
  }
};

// Plays `count` random candidate squares (the centre first on an empty
// board).
void playRandomStones(velm::VelmBrain& b, int count, std::mt19937& rng) {
  for (int m = 0; m < count; m++) {
    const velm::VelmBoard& board = b.board();
    if (board.moveCount() == 0) {
      b.makeGameMove(board.boardWidth() / 2, board.boardHeight() / 2);
      continue;
    }
    int candidates[velm::kMaxSquares];
    const int n = listCandidates(board, candidates);
    const int sq = candidates[rng() % n];
    b.makeGameMove(board.sqX(sq), board.sqY(sq));
  }
}

}  // namespace

void runSelfPlayBench() {
  auto brain = std::make_unique<velm::VelmBrain>();
  velm::VelmBrain& b = *brain;
  std::mt19937 rng(kSelfPlaySeed);
  Fnv hash;
  const std::uint64_t nodesBefore = b.nodes();
  int decisions = 0;
  int games = 0;
  while (decisions < kDecisions) {
    // Step 1. A new game from a seeded random opening; the game memory is
    // off, so nothing is read or written.
    const int size = kBoardSizes[games % 2];
    platform::seedRandom(kSelfPlaySeed + static_cast<std::uint32_t>(games));
    b.params.options = velm::kOptionRichEval;
    b.params.timeoutTurn = kUnlimitedMs;
    b.params.timeoutMatch = kUnlimitedMs;
    b.params.maxDepth = kMaxDepth;
    b.init(size, size);
    const int stones =
        kMinRandomStones + static_cast<int>(rng() % (kMaxRandomStones - kMinRandomStones + 1));
    playRandomStones(b, stones, rng);
    games++;
    // Step 2. The engine plays both sides until the game ends or has given
    // its share of decisions.
    for (int k = 0; k < kDecisionsPerGame && decisions < kDecisions; k++) {
      const velm::VelmBoard& board = b.board();
      if (board.moveCount() >= board.numSquares() || (board.moveCount() > 0 && b.checkWin())) break;
      b.params.nodeLimit = kMinBudget + rng() % (kMaxBudget - kMinBudget + 1);
      int x = -1, y = -1;
      b.thinkMove(x, y);
      // A single forced answer is played unsearched: no score.
      int score = 0;
      const velm::SearchWorker& w = b.worker;
      for (int i = 0; w.rootCount > 1 && i < w.rootCount; i++) {
        if (w.rootMoves[i].move == board.sqIndex(x, y)) score = w.rootMoves[i].score;
      }
      hash.add(x);
      hash.add(y);
      hash.add(score);
      decisions++;
      b.makeGameMove(x, y);
    }
  }
  b.params.nodeLimit = 0;
  std::printf("selfplay games: %d\n", games);
  std::printf("selfplay decisions: %d\n", decisions);
  std::printf("selfplay nodes: %llu\n", static_cast<unsigned long long>(b.nodes() - nodesBefore));
  std::printf("selfplay moves and scores hash: %016llx\n", static_cast<unsigned long long>(hash.h));
}
