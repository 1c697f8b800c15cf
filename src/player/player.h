// Velmaro_player: the protocol side's handle on the engine.
//
// Owns the one engine object (allocated once per run, reused for every
// game) and forwards game events to it. Stones must arrive in the order of
// play: the engine gives each stone to the side whose turn it is, so which
// of move_my/move_oppo brings a stone only decides `color`. `color` and
// `num_moves` are records of the current game. Used by one thread at a time.
#pragma once

namespace velm {
class VelmBrain;
}

constexpr int kPlayerNameCapacity = 256;

class Velmaro_player {
 public:
  int size_x;
  int size_y;
  int color;      // 0 no stone yet; 1 the engine moved first; -1 the opponent did
  int num_moves;  // stones played through the player in this game
  velm::VelmBrain* brain;
  char name[kPlayerNameCapacity];

  // Builds the engine; returns with brain == nullptr when its memory could
  // not be obtained.
  Velmaro_player(int width, int height, int timeoutTurn, int timeoutMatch, int maxDepth,
                 unsigned int options, const char* dataPath);
  ~Velmaro_player();
  Velmaro_player(const Velmaro_player&) = delete;
  Velmaro_player& operator=(const Velmaro_player&) = delete;

  void newgame();
  // requestMs: clock reading when the move was asked for, or -1.
  void think_move(int& x, int& y, int requestMs = -1);
  void move_my(int& x, int& y);
  void move_oppo(int& x, int& y);

 private:
  // The plain object without an engine. The public constructor delegates to
  // it, so the object is complete before the engine initialises: if a fatal
  // error's hook unwinds out of that initialisation (test harnesses), the
  // destructor still runs and frees the engine.
  Velmaro_player(int width, int height);
};
