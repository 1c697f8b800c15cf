// Velmaro_player: the protocol side's handle on the engine.
//
// Owns the one engine object (allocated once per run, reused for every
// game) and forwards game events to it. Stones must arrive in the order of
// play: the engine gives each stone to the side whose turn it is, so which
// of move_my/move_oppo brings a stone only decides `color`. `color` and
// `num_moves` are records of the current game. Used by one thread at a time.
//
// The manager's limits may change between games and between moves: those
// given to setGameLimits() hold from the next newgame() on, the turn time and
// the manager's clock are given again with each think_move(), and the
// search options (threads, node and depth limits, reports) with
// setSearchOptions() before it.
#pragma once

#include <atomic>
#include <cstddef>

namespace velm {
class VelmBrain;
struct IterationInfo;
struct DecisionInfo;
}  // namespace velm

constexpr int kPlayerNameCapacity = 256;

// The manager's limits for a game, as they stand when it starts.
struct GameLimits {
  int timeoutTurn = 0;      // ms per move
  int timeoutMatch = 0;     // ms per game
  int timeLeft = -1;        // the manager's clock before the first move, ms; -1: not given
  long long maxMemory = 0;  // bytes for the whole process; 0: no limit
  int threads = 1;          // search threads allowed; less than 1: one
};

// How the manager wants the decisions searched, from the next one on.
struct SearchOptions {
  int threads = 1;         // search threads allowed; less than 1: one
  long long maxNodes = 0;  // a work budget per decision; 0: none
  // The decision weighs its work against the budget, not the clock (the
  // manager's budget, not a harness's bound).
  bool workClock = false;
  int maxDepth = 0;         // the deepest iteration; 0 or less: the engine's own
  bool showDetail = false;  // report iterations and choices
};

// What the engine thinks, in the protocol's coordinates: one completed
// iteration of a decision...
constexpr int kReportPvCapacity = 64;
struct IterationReport {
  int depth;
  int score;  // for the side to move
  // A proven result: a win (1) or a loss (-1) in `plies` plies, the plies of
  // the variation below; 0: a plain score.
  int proven;
  int plies;
  unsigned long long nodes;  // of every search thread
  int timeMs;
  int pvCount;  // the principal variation: moves played one after the other
  int pvX[kReportPvCapacity];
  int pvY[kReportPvCapacity];
};
// ...and the move a decision chose, with how.
enum class ChoiceSource { kOpening, kForced, kSearch };
struct ChoiceReport {
  int x;
  int y;
  ChoiceSource source;
  int depth;  // the deepest iteration behind a searched move
};
// Where the reports go (on the thread that runs think_move).
struct Reporters {
  void (*iteration)(const IterationReport& report) = nullptr;
  void (*choice)(const ChoiceReport& report) = nullptr;
};

class Velmaro_player {
 public:
  int size_x;
  int size_y;
  int color;      // 0 no stone yet; 1 the engine moved first; -1 the opponent did
  int num_moves;  // stones played through the player in this game
  velm::VelmBrain* brain;
  char name[kPlayerNameCapacity];
  long long maxMemory = 0;  // the memory limit of the current game

  // Builds the engine under the limits of the first game; returns with
  // brain == nullptr when its memory could not be obtained. An empty
  // dataPath keeps the game memory in this run only (no file).
  Velmaro_player(int width, int height, const GameLimits& limits, int maxDepth,
                 unsigned int options, const char* dataPath);
  ~Velmaro_player();
  Velmaro_player(const Velmaro_player&) = delete;
  Velmaro_player& operator=(const Velmaro_player&) = delete;

  // False when even the engine's smallest tables exceed maxMemory bytes; it
  // then plays with those.
  static bool fitsInMemory(long long maxMemory);
  // Whether the engine plays on a board of this size: square, and no side
  // longer than it can hold.
  static bool playsBoard(int width, int height);
  // Whether a data folder path of this length leaves room for the names of
  // the engine's files in it.
  static bool fitsDataFolder(std::size_t length);
  // The limits of the games to come.
  void setGameLimits(const GameLimits& limits);
  // The search of the decisions to come: threads as far as the processor
  // and the memory limit allow (one under a node budget, so that a decision
  // is the same on any machine), the work budget, the depth, and whether to
  // report to `reporters`.
  void setSearchOptions(const SearchOptions& options, const Reporters& reporters);
  // When stop reads true, a running think_move ends as at its hard limit.
  void setStopSignal(const std::atomic<bool>* stop);
  // Whether (x, y) is a square of this player's board without a stone.
  bool squareEmpty(int x, int y) const;

  void newgame();
  // requestMs: clock reading when the move was asked for, or -1;
  // timeoutTurn: the turn limit of this move; timeLeft: the manager's time
  // left in the game, or -1 when it gave none for this move.
  void think_move(int& x, int& y, int requestMs, int timeoutTurn, int timeLeft);
  void move_my(int& x, int& y);
  void move_oppo(int& x, int& y);

 private:
  int defaultMaxDepth;
  Reporters reporters;
  static void onIteration(void* player, const velm::IterationInfo& info);
  static void onDecision(void* player, const velm::DecisionInfo& info);

  // The plain object without an engine. The public constructor delegates to
  // it, so the object is complete before the engine initialises: if a fatal
  // error's hook unwinds out of that initialisation (test harnesses), the
  // destructor still runs and frees the engine.
  Velmaro_player(int width, int height);
};
