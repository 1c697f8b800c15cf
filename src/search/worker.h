// SearchWorker: one search — a board of its own, the time account, the root
// list and the scratch lists — and the decision, search, move generation,
// threat and defence analysis and evaluation that work on them.
//
// It owns its board: the stones of the game come through newGame() and
// makeGameMove(), and the search plays and takes back its own moves through
// play()/takeBack(), so the board is back in the game position whenever a
// decision returns. It shares, by reference, the engine's result tables,
// game memory and parameters; it prefetches the tables itself, since the
// board knows nothing of them. A worker runs one search at a time: its
// scratch lists are its own.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "memo/memo.h"
#include "search/params.h"
#include "search/tables.h"
#include "search/threads.h"
#include "search/time_control.h"

namespace velm {

// The deepening steps by two plies.
constexpr int kDepthStep = 2;

// Move-list sizes.
constexpr int kFullWidth = 40;                          // list size down to the full-width horizon
constexpr int kMoveListCapacity = 2 * kMaxSquares + 3;  // forced lists may repeat a square
// A reply list of one search node or evaluation level: every own four square
// plus at most three common defences.
constexpr int kReplyListCapacity = kMaxSquares + 3;

struct ScoredMove {
  int move;
  int score;
};

// Where a move list comes from (genMoves' genFlag).
enum class ListKind {
  kWin,         // one move: the side to move wins (its five, or its first unstoppable four)
  kLoss,        // one move: the side to move loses whatever it plays
  kForced,      // the forced replies: the block of a five, or own fours and the common defences
  kThreatOnly,  // squares where the side to move makes a four or a three that can open
  kScored,      // the best-scored candidate squares
};

class SearchWorker : public platform::ZeroedOnHeap {
 public:
  SearchWorker(VelmHash& tables, VelmMemo& memo, const EngineParams& params);
  SearchWorker(const SearchWorker&) = delete;
  SearchWorker& operator=(const SearchWorker&) = delete;

  const VelmBoard& board() const { return board_; }

  // Engine state and game moves.
  // A new game: empty board keyed by `keys`, the whole match time.
  void newGame(int width, int height, const PositionKeys& keys);
  void makeGameMove(int sq) { board_.makeMove(sq); }
  // The game keyed anew (VelmBoard::rekey).
  void rekey(const PositionKeys& keys) { board_.rekey(keys); }
  // Whether the move that led to this position made five.
  bool checkWin() const;

  // Move decision: the move of the side to move, not played.
  void thinkMove(int& x, int& y);
  // The main worker's helpers in a decision (none: it decides alone).
  SearchThreads* helpers = nullptr;
  // A helper, while parked: takes the main worker's position and root list.
  void prepareHelp(const SearchWorker& main, const PositionKeys& keys);
  // A helper: deepens from startDepth, two plies at a time, under the
  // full-width horizon `fullDepth` says at each iteration's start, until
  // its time account says stop; publishes each completed iteration into
  // `result` (SearchThreads::pack).
  void helpSearch(int startDepth, const std::atomic<int>& fullDepth,
                  std::atomic<std::uint64_t>& result);
  bool openMove(int& x, int& y);
  bool badPlace(int x, int y) const;

  // Search.
  int rootPVS(int depth, int fullDepth);
  int alphaBetaPVS(int depth, int fullDepth, int alpha, int beta);

  // Move generation.
  int genMoves(int* list, int maxMoves, ListKind& genFlag);
  int moveValue(const BoardSquare& square) const;
  // A scored square as one int that orders as the list does: higher scores
  // first, and of equal scores the lower square first. Move values stay
  // below 2^21 (three times the largest cross value), so a key fits an int.
  static constexpr int kKeySquares = 512;
  static_assert(kMaxSquares <= kKeySquares);
  static int moveKey(int score, int sq) { return score * kKeySquares + (kKeySquares - 1 - sq); }
  static int keySquare(int key) { return kKeySquares - 1 - (key & (kKeySquares - 1)); }
  // Adds the key `item` to kept, a list of count keys sorted best first
  // that holds at most capacity of them, kept[-1] being a sentinel above
  // every key: an item that would go last in a full list is dropped,
  // otherwise the last entry is.
  static void keepBest(int* kept, int& count, int capacity, int item);

  // Threats and defence.
  int winAndForced(int* list, int& score);
  // Counts of a position where neither side has a five, an open four or two
  // fours on one square: winAndForced lists nothing there.
  static bool isQuiet(const CountBlock& c) {
    return c.patCount[0][patFive] <= 0 && c.patCount[1][patFive] <= 0 &&
           c.patCount[0][patOpenFour] <= 0 && c.patCount[1][patOpenFour] <= 0 &&
           c.crossCount[0][crossDoubleFour] <= 0 && c.crossCount[1][crossDoubleFour] <= 0;
  }
  // An empty square on which `side` makes five (the count says one exists).
  int fiveSquare(int side) const;
  bool isFiveSquare(int sq, int side) const;
  void difeFind(int* out, int sq, int side) const;
  void difeCalc(int* moves, int& count, const int* threats, int threatCount, int side);

  // Evaluation.
  int boardValueBase();
  int boardValueRico();
  // The leaf value the options ask for: boardValueRico or boardValueBase.
  int boardValue();
  int quietValue() const { return quietValue(board_.counts(), board_.sideToMove()); }
  // The value of a quiet position of these counts for the side `toMove`.
  static int quietValue(const CountBlock& c, int toMove);

  // The time account and the decision's state.
  TimeAccount time;
  bool stopSearch = false;
  // True while a decision's deepening runs: the forced-line evaluation then
  // shares the nodes' time checks and yields to the hard limit.
  bool searching = false;
  int narrowWidth = 0;
  ScoredMove rootMoves[kMaxSquares];
  int rootCount = 0;
  // Nodes entered since construction (alphaBetaPVS calls and root
  // children). Only the worker's own thread writes it, each time as one
  // relaxed atomic store, so that another thread may read a helper's count
  // while it searches (nodeCount()).
  std::uint64_t nodes = 0;
  std::uint64_t nodeCount() const {
    return std::atomic_ref<std::uint64_t>(const_cast<std::uint64_t&>(nodes))
        .load(std::memory_order_relaxed);
  }
  // The defence scratch: zero everywhere between calls of difeCalc.
  int sqMark[kMaxSquares];

  // The principal variation. Nodes lie at most maxDepth (at most
  // kTableDepthReach) plies below the root. pvLine[ply][0..pvLength[ply])
  // is the best line of the node `ply` plies below the root, from the
  // search of it that last raised its alpha; rootPV that of the best root
  // move of the iteration.
  static constexpr int kMaxPly = kTableDepthReach + 1;
  int rootPly = 0;  // the board's moveCount() at the root
  int pvLength[kMaxPly + 1];
  int pvLine[kMaxPly + 1][kMaxPly + 1];
  int rootPVLength = 0;
  int rootPV[kMaxPly + 1];
  // The last root iteration ended on a proven result (a win, or a loss of
  // every move), not on a stop.
  bool rootProven = false;

 private:
  // Plays sq for the search; the table slots of the position it leads to
  // start loading first, since the node or evaluation entered next probes
  // them, and when the move makes a five, the slot of the position after
  // its block, which the forced-line evaluation looks up before playing it.
  void play(int sq) {
    tables.prefetch(board_.keyAfter(sq));
    board_.makeMove(sq);
    const int mover = board_.sideOther();
    if (board_.counts().patCount[mover][patFive] > 0)
      tables.prefetchTT0(board_.key() ^
                         board_.stoneKey(board_.sideToMove(), board_.counts().fiveSq[mover][0]));
  }
  void takeBack() { board_.undoMove(); }

  // The variation line[0..length) of a result proven for `winner`, played
  // from the root and followed on towards a five (kProvenLineCapacity plies
  // at most) through the threats and the tables; returns its new length.
  // Reads the tables, stores nothing, and leaves the board at the root.
  static constexpr int kProvenLineCapacity = 2 * kMaxPly;
  int provenLine(int* line, int length, int winner);
  // Tells the listener of params about the iteration just completed, and
  // about the decision's end.
  void reportIteration(int depth, int move, int score);
  void reportDecision(int move, DecisionSource source, int depth);
  // The node `ply` plies below the root has a new best move m, whose own
  // line is the child's.
  void updatePV(int ply, int m) {
    int* line = pvLine[ply];
    line[0] = m;
    const int n = pvLength[ply + 1];
    for (int k = 0; k < n; k++) line[k + 1] = pvLine[ply + 1][k];
    pvLength[ply] = n + 1;
  }
  // Nodes of every worker of this decision when it started.
  std::uint64_t decisionStartNodes = 0;

  // The score of the child just entered at depth - 1, for the parent's
  // window (alpha, beta): the first move of a node with the full window,
  // the others with a null window first and again with the full one only
  // when they fall inside it.
  int childScore(int depth, int fullDepth, int alpha, int beta, bool first);

  // Calls visit(sq) for every candidate square, in index order.
  template <class Visit>
  void forEachCandidate(Visit&& visit) const {
    const int words = squareWords(board_.numSquares());
    for (int w = 0; w < words; w++) forEachBit(board_.candSquares().word[w], w, visit);
  }

  // The forced-line evaluation's shortcuts.
  // The block a reply sq of the side to move leaves when it is a candidate
  // and a four that leaves exactly one (soleFiveAfter); -1 otherwise.
  int fourBlock(int sq) const {
    return board_.isCandidate(sq) &&
                   (board_.patterns().crossThreats[board_.square(sq).cross[board_.sideToMove()]] &
                    PatternTables::kThreatFour) != 0
               ? board_.soleFiveAfter(sq)
               : -1;
  }
  int fourValue(int sq, int block);
  bool quietAfter(int sq, int& value);
  bool forcedLineStopped();

  // The tables' operations on the current position.
  bool retriveTT(TTData& out) const { return tables.retriveTT(board_.key(), out); }
  void storeTT(int depth, int fullDepth, int value, int bound, int move) {
    tables.storeTT(board_.key(), depth, fullDepth, value, bound, move);
  }
  int retriveTT0() const { return tables.retriveTT0(board_.key()); }
  void storeTT0(int value) { tables.storeTT0(board_.key(), value); }

  VelmBoard board_;
  VelmHash& tables;
  VelmMemo& memo;
  const EngineParams& params;

  // Scratch storage of the search.
  // The kept keys of genMoves, after a sentinel.
  int candScratch[kMaxSquares + 1];
  int s4x[kMoveListCapacity];
  int dc4y[kMoveListCapacity];
  int forcedMoves[kMoveListCapacity];
};

}  // namespace velm
