// VelmBrain: the engine object — the board with its keys and tables, the game
// memory, the parameters set by the player, the time account and the root
// move list of the search.
//
// One instance lives for the whole run (about 140 MB, allocated once by the
// player); every game starts with init(), stones arrive through
// makeGameMove() in the order of play, and thinkMove() decides the move of
// the side to move without playing it. The parameters are stored by the
// owner before init(); timeoutMatch, options bits 0 and 11, branchFactor and
// dataPath take effect at init(), the others at every move.
//
// The search uses scratch lists owned by this object, so one object runs one
// search at a time; the command loop's event hand-off guarantees that.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/board.h"
#include "memo/memo.h"

namespace velm {

// Bits of `options`.
constexpr unsigned kOptionMemory = 1u << 0;        // use the game memory
constexpr unsigned kOptionRichEval = 1u << 1;      // leaves by boardValueRico
constexpr unsigned kOptionRadiusReply = 1u << 2;   // radius rule for the 2nd stone
constexpr unsigned kOptionFixedGrowth = 1u << 4;   // always stop rule factor 40
constexpr unsigned kOptionThreatsOnly = 1u << 11;  // threat-only lists past horizon

// Default engine parameters.
constexpr int kDefaultTimeoutTurn = 30000;
constexpr int kDefaultTimeoutMatch = 180000;
constexpr int kDefaultBranchFactor = 8;
constexpr int kDefaultMaxDepth = 20;
static_assert(kDefaultMaxDepth <= kTableDepthReach);
constexpr int kDefaultMinDepth = 2;
constexpr int kDefaultTimeMargin = 50;
constexpr int kInitialMovesToGo = 15;
constexpr int kDefaultCheckInterval = 1000;

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

class VelmBrain : public VelmBoard {
 public:
  VelmMemo memo;
  unsigned options = 0;
  int timeoutTurn = kDefaultTimeoutTurn;
  int timeoutMatch = kDefaultTimeoutMatch;
  int branchFactor = kDefaultBranchFactor;
  int maxDepth = kDefaultMaxDepth;  // at most kTableDepthReach: the table keeps depths that far
  int minDepth = kDefaultMinDepth;
  char dataPath[kPathCapacity] = "./";
  int timeMargin = kDefaultTimeMargin;
  int hardLimit = 0;
  int softLimit = 0;
  int movesToGo = 50;
  int timeLeft = 0;
  int moveStart = 0;
  int iterStart = 0;
  // When >= 0, the clock reading taken when the move request arrived:
  // startTime() uses it as the start of the move so that time spent before
  // thinkMove (creating the player) counts against the turn. The front end
  // sets it before thinkMove and puts it back to -1 after the move.
  int requestStart = -1;
  // When >= 0, the manager's own figure of the time left in the game for
  // the move about to be decided: its clock is the one that counts, so the
  // limits follow from the smaller of it and timeLeft. Set by the owner
  // before thinkMove, like requestStart.
  int managerTimeLeft = -1;
  // Set by the owner when the decision must end now (the manager ends the
  // game): read at every clock reading, it stops the search as the hard
  // limit does. Null: never.
  const std::atomic<bool>* stopRequest = nullptr;
  int checkInterval = kDefaultCheckInterval;
  int checkCountdown = kDefaultCheckInterval;
  bool stopSearch = false;
  // True while a decision's deepening runs: the forced-line evaluation then
  // shares the nodes' time checks and yields to the hard limit.
  bool searching = false;
  int narrowWidth = 0;
  ScoredMove rootMoves[kMaxSquares];
  int rootCount = 0;

  // The clock of the time account, in milliseconds; tests inject their own.
  int (*clock)() = nullptr;
  // Nodes entered since construction (alphaBetaPVS calls and root children).
  std::uint64_t nodes = 0;
  // A work budget per decision, 0 for none: every timeOver() call (search
  // nodes and forced-line steps alike) spends one unit, and a spent budget
  // stops the decision as the hard time limit does. Harnesses set it to get
  // decisions of bounded work whatever the clock says.
  std::uint64_t nodeLimit = 0;
  std::uint64_t nodeBudgetUsed = 0;  // units spent in this decision

  VelmBrain();

  // Engine state and game moves.
  // Once, after the time settings and before the first init: huge pages for
  // the tables when the first move can afford their first-touch stalls.
  void adviseTablePages();
  void init(int width, int height);
  // The table size of an engine whose process must stay within maxMemory
  // bytes (0: no limit), and whether even the smallest tables fit.
  static int tableBitsFor(long long maxMemory, bool& fits);
  void makeGameMove(int x, int y);
  bool checkWin() const;

  // Move decision.
  void thinkMove(int& x, int& y);
  bool openMove(int& x, int& y);
  bool badPlace(int x, int y) const;

  // Search.
  int rootPVS(int depth, int fullDepth);
  int alphaBetaPVS(int depth, int fullDepth, int alpha, int beta);

  // Move generation.
  int genMoves(int* list, int maxMoves, ListKind& genFlag);
  int moveValue(const BoardSquare* square) const;
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
  // Calls visit(sq) for every candidate square, in index order.
  template <class Visit>
  void forEachCandidate(Visit&& visit) const {
    const int words = squareWords(numSquares);
    for (int w = 0; w < words; w++) forEachBit(candSquares.word[w], w, visit);
  }

  // Time control.
  void initTime();
  void startTime();
  void stopTime();
  bool timeOut(int factor);
  bool timeOver();
  int elapsedTime() const;
  int elapsedIte() const;
  // The hard limit of a move made with `left` ms of the match time left, and
  // of a game's first move (the whole match time left, or the manager's
  // figure when it says less).
  int hardLimitFor(int left) const;
  int firstMoveLimit() const;

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
  // The block a reply sq of the side to move leaves when it is a candidate
  // and a four that leaves exactly one (soleFiveAfter); -1 otherwise.
  int fourBlock(int sq) const {
    return isCandidate(sq) && (crossThreats[squares[sq].cross[sideToMove]] & kThreatFour) != 0
               ? soleFiveAfter(sq)
               : -1;
  }
  int fourValue(int sq, int block);
  bool quietAfter(int sq, int& value);
  // The leaf value the options ask for: boardValueRico or boardValueBase.
  int boardValue();
  int quietValue() const { return quietValue(counts, sideToMove); }
  // The value of a quiet position of these counts for the side `toMove`.
  static int quietValue(const CountBlock& c, int toMove);
  bool forcedLineStopped();

  // Scratch storage of the search (one search at a time per object).
  // The kept keys of genMoves, after a sentinel.
  int candScratch[kMaxSquares + 1];
  int s4x[kMoveListCapacity];
  int dc4y[kMoveListCapacity];
  int forcedMoves[kMoveListCapacity];
};

}  // namespace velm
