// velmaro-bench position SIZE "x,y x,y ...": a developer's look at one
// position through the board's own diagnostics: the stones, the moves, both
// sides' pattern and cross counts, the line keys of the last stone's square,
// and what the engine makes of it: the forced replies and both static
// values.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bench.h"
#include "search/brain.h"

namespace {

constexpr int kMinSide = 5;

}  // namespace

int runPositionReport(int argc, char** argv) {
  const int size = argc > 0 ? std::atoi(argv[0]) : 0;
  if (size < kMinSide || size > velm::kMaxSide) {
    std::fprintf(stderr, "usage: velmaro-bench position SIZE [\"x,y x,y ...\"] (SIZE 5 to 20)\n");
    return 2;
  }
  auto brain = std::make_unique<velm::VelmBrain>();
  brain->params.options = velm::kOptionRichEval;  // no game memory: no file
  brain->init(size, size);
  const int stones = playMoves(*brain, argc > 1 ? argv[1] : "");
  const velm::VelmBoard& board = brain->board();

  brain->board().plotBoard();
  int moves[velm::kMaxSquares];
  for (int k = 0; k < stones; k++) moves[k] = board.moveAt(k);
  std::printf("moves: ");
  board.printMoveSeq(moves, stones);
  std::printf("\ncounts of patterns 1..9 and crossings 1..6, per side:\n");
  board.printInve();
  if (stones > 0) {
    const velm::BoardSquare& last = board.square(moves[stones - 1]);
    for (int d = 0; d < velm::kDirections; d++) {
      std::printf("last stone, direction %d:", d);
      board.printKey(last.key[d]);
      std::printf("\n");
    }
  }
  int replies[velm::kReplyListCapacity];
  int verdict = 0;
  const int n = brain->worker.winAndForced(replies, verdict);
  std::printf("forced replies (%s): ", verdict == velm::winScore    ? "won"
                                       : verdict == -velm::winScore ? "lost"
                                                                    : "open");
  board.printMoveSeq(replies, n);
  std::printf("\nvalue, plain: %d\n", brain->worker.boardValueBase());
  std::printf("value, forced lines: %d\n", brain->worker.boardValueRico());
  return 0;
}
