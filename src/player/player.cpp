#include "player/player.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "search/brain.h"

Velmaro_player::Velmaro_player(int width, int height)
    : size_x(width), size_y(height), color(0), num_moves(0), brain(nullptr), defaultMaxDepth(0) {
  std::snprintf(name, sizeof name, "%s", "Velmaro Player");
}

Velmaro_player::Velmaro_player(int width, int height, const GameLimits& limits, int maxDepth,
                               unsigned int options, const char* dataPath)
    : Velmaro_player(width, height) {
  brain = new (std::nothrow) velm::VelmBrain;
  if (brain == nullptr) return;
  // The tables keep depths no deeper than kTableDepthReach.
  defaultMaxDepth = maxDepth < velm::kTableDepthReach ? maxDepth : velm::kTableDepthReach;
  brain->params.maxDepth = defaultMaxDepth;
  brain->params.options = options;
  std::snprintf(brain->dataPath, sizeof brain->dataPath, "%s", dataPath);
  setGameLimits(limits);
  brain->init(size_x, size_y);
}

Velmaro_player::~Velmaro_player() {
  delete brain;
}

bool Velmaro_player::fitsInMemory(long long maxMemory) {
  bool fits = true;
  velm::VelmBrain::tableBitsFor(maxMemory, fits);
  return fits;
}

bool Velmaro_player::playsBoard(int width, int height) {
  return width == height && width <= velm::kMaxSide;
}

bool Velmaro_player::fitsDataFolder(std::size_t length) {
  return length < static_cast<std::size_t>(velm::kPathCapacity);
}

void Velmaro_player::setGameLimits(const GameLimits& limits) {
  bool fits = true;
  velm::EngineParams& params = brain->params;
  params.timeoutTurn = limits.timeoutTurn;
  params.timeoutMatch = limits.timeoutMatch;
  maxMemory = limits.maxMemory;
  // The tables leave room for the threads the manager allows (as far as
  // the processor has them).
  const int threads = velm::VelmBrain::threadsFor(limits.threads, 0, 0);
  brain->tables.setTableBits(velm::VelmBrain::tableBitsFor(limits.maxMemory, fits, threads));
  // Huge pages cost stalls on the first move: judged by its time.
  params.managerTimeLeft = limits.timeLeft;
  brain->adviseTablePages();
  params.managerTimeLeft = -1;
}

void Velmaro_player::setSearchOptions(const SearchOptions& options, const Reporters& to) {
  velm::EngineParams& params = brain->params;
  const int wanted = options.maxNodes > 0 ? 1 : options.threads;
  const int count = velm::VelmBrain::threadsFor(wanted, maxMemory, brain->tables.bits());
  if (count != brain->threadCount()) brain->setThreads(count);
  params.nodeLimit = options.maxNodes > 0 ? static_cast<std::uint64_t>(options.maxNodes) : 0;
  params.workClock = options.maxNodes > 0 && options.workClock;
  params.maxDepth = options.maxDepth > 0 && options.maxDepth < defaultMaxDepth ? options.maxDepth
                                                                               : defaultMaxDepth;
  reporters = to;
  const bool report = options.showDetail && (to.iteration != nullptr || to.choice != nullptr);
  params.iterationListener = report ? onIteration : nullptr;
  params.decisionListener = report ? onDecision : nullptr;
  params.listenerContext = this;
}

void Velmaro_player::onIteration(void* context, const velm::IterationInfo& info) {
  const Velmaro_player& player = *static_cast<Velmaro_player*>(context);
  if (player.reporters.iteration == nullptr) return;
  const velm::VelmBoard& board = player.brain->board();
  IterationReport r;
  r.depth = info.depth;
  r.score = info.score;
  r.proven = info.score >= velm::winScore ? 1 : info.score <= -velm::winScore ? -1 : 0;
  r.plies = info.pvLength;
  r.nodes = info.nodes;
  r.timeMs = info.timeMs;
  r.pvCount = info.pvLength < kReportPvCapacity ? info.pvLength : kReportPvCapacity;
  for (int k = 0; k < r.pvCount; k++) {
    r.pvX[k] = board.sqX(info.pv[k]);
    r.pvY[k] = board.sqY(info.pv[k]);
  }
  player.reporters.iteration(r);
}

void Velmaro_player::onDecision(void* context, const velm::DecisionInfo& info) {
  const Velmaro_player& player = *static_cast<Velmaro_player*>(context);
  if (player.reporters.choice == nullptr) return;
  const velm::VelmBoard& board = player.brain->board();
  const ChoiceSource source = info.source == velm::DecisionSource::kOpening ? ChoiceSource::kOpening
                              : info.source == velm::DecisionSource::kForced
                                  ? ChoiceSource::kForced
                                  : ChoiceSource::kSearch;
  player.reporters.choice({board.sqX(info.move), board.sqY(info.move), source, info.depth});
}

void Velmaro_player::setStopSignal(const std::atomic<bool>* stop) {
  brain->params.stopRequest = stop;
}

void Velmaro_player::newgame() {
  color = 0;
  num_moves = 0;
  brain->init(size_x, size_y);
}

void Velmaro_player::think_move(int& x, int& y, int requestMs, int timeoutTurn, int timeLeft) {
  velm::EngineParams& params = brain->params;
  params.requestStart = requestMs;
  params.timeoutTurn = timeoutTurn;
  params.managerTimeLeft = timeLeft;
  brain->thinkMove(x, y);
  params.requestStart = -1;
  params.managerTimeLeft = -1;
}

bool Velmaro_player::squareEmpty(int x, int y) const {
  const velm::VelmBoard& board = brain->board();
  return x < size_x && y < size_y && board.square(board.sqIndex(x, y)).stone == velm::kCellEmpty;
}

void Velmaro_player::move_my(int& x, int& y) {
  if (color == 0) color = 1;
  brain->makeGameMove(x, y);
  num_moves++;
}

void Velmaro_player::move_oppo(int& x, int& y) {
  if (color == 0) color = -1;
  brain->makeGameMove(x, y);
  num_moves++;
}
