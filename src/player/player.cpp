#include "player/player.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "search/brain.h"

Velmaro_player::Velmaro_player(int width, int height)
    : size_x(width), size_y(height), color(0), num_moves(0), brain(nullptr) {
  std::snprintf(name, sizeof name, "%s", "Velmaro Player");
}

Velmaro_player::Velmaro_player(int width, int height, const GameLimits& limits, int maxDepth,
                               unsigned int options, const char* dataPath)
    : Velmaro_player(width, height) {
  brain = new (std::nothrow) velm::VelmBrain;
  if (brain == nullptr) return;
  brain->params.maxDepth = maxDepth;
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

void Velmaro_player::setThreads(int wanted) {
  const int count = velm::VelmBrain::threadsFor(wanted, maxMemory, brain->tables.bits());
  if (count != brain->threadCount()) brain->setThreads(count);
}

void Velmaro_player::setStopSignal(const std::atomic<bool>* stop) {
  brain->params.stopRequest = stop;
}

void Velmaro_player::setNodeLimit(unsigned long long nodes) {
  brain->params.nodeLimit = nodes;
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
