// Benchmark suites of velmaro-bench. Each prints its figures to standard
// output, one "name: value unit" line each; timings are meaningful only in a
// Release build.
#pragma once

namespace velm {
class VelmBoard;
class VelmBrain;
}  // namespace velm

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
// of one build).
void runSearchBench();
// Replies under timeout_turn 1000 on sharp positions and one self-played
// game: the worst reply time and the longest gap between clock readings.
void runDeadlineBench();
// 200 self-play decisions under work budgets: a hash of their moves and
// scores, and their nodes (the same for every build that searches alike).
void runSelfPlayBench();
// `position SIZE "x,y ..."` (the arguments after the command): one
// position printed with the board's diagnostics; returns the exit code.
int runPositionReport(int argc, char** argv);
