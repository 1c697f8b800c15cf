// Benchmark suites of velmaro-bench. Each prints its figures to standard
// output, one "name: value unit" line each; timings are meaningful only in a
// Release build.
#pragma once

namespace velm {
class VelmBoard;
class VelmBrain;
}  // namespace velm

// Options after the suite's name: `--threads N` (search threads), `--depth
// D` (a depth for every position instead of its own) and `--turn MS` (a turn
// time for every position instead of none: the decision then narrows its
// lists as in a game, and stops at its time limits).
struct BenchOptions {
  int threads = 1;
  int depth = 0;   // 0: each position's own, or the brain's own with a turn time
  int turnMs = 0;  // 0: no time limit
};

// Plays "x,y x,y ..." (a position's stones in order) as game moves; returns
// how many.
int playMoves(velm::VelmBrain& b, const char* moves);
// Writes the board's candidate squares, in index order, into `out` (room for
// kMaxSquares); returns how many.
int listCandidates(const velm::VelmBoard& board, int* out);

// Engine construction, first inits, make/undo cost, peak memory.
void runBoardBench();
// Fixed-depth searches of recorded positions; prints per-position figures,
// the total nodes and the "signature:" line (the total, the same on every run
// of one build; only with one thread at the positions' own depths). With
// other options, the time each position took to complete depths 6, 8, 10.
void runSearchBench(const BenchOptions& options);
// Replies under timeout_turn 1000 on sharp positions and one self-played
// game: the worst reply time and the longest gap between clock readings.
void runDeadlineBench();
// 200 self-play decisions under work budgets: a hash of their moves and
// scores, and their nodes (the same for every build that searches alike).
void runSelfPlayBench();
// `position SIZE "x,y ..."` (the arguments after the command): one
// position printed with the board's diagnostics; returns the exit code.
int runPositionReport(int argc, char** argv);
