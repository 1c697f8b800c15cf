#include "player/player.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "search/brain.h"

Velmaro_player::Velmaro_player(int width, int height)
    : size_x(width), size_y(height), color(0), num_moves(0), brain(nullptr) {
  std::snprintf(name, sizeof name, "%s", "Velmaro Player");
}

Velmaro_player::Velmaro_player(int width, int height, int timeoutTurn, int timeoutMatch,
                               int maxDepth, unsigned int options, const char* dataPath)
    : Velmaro_player(width, height) {
  brain = new (std::nothrow) velm::VelmBrain;
  if (brain == nullptr) return;
  brain->timeoutTurn = timeoutTurn;
  brain->timeoutMatch = timeoutMatch;
  brain->maxDepth = maxDepth;
  brain->options = options;
  std::snprintf(brain->dataPath, sizeof brain->dataPath, "%s", dataPath);
  brain->adviseTablePages();
  brain->init(size_x, size_y);
}

Velmaro_player::~Velmaro_player() {
  delete brain;
}

void Velmaro_player::newgame() {
  color = 0;
  num_moves = 0;
  brain->init(size_x, size_y);
}

void Velmaro_player::think_move(int& x, int& y, int requestMs) {
  brain->requestStart = requestMs;
  brain->thinkMove(x, y);
  brain->requestStart = -1;
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
