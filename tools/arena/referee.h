// The referee plays one game between the two engine sessions: it sets the
// game up on both, places the opening, asks the engine to move for each
// stone, measures every reply on its own clock and judges it. The game ends
// at five in a row, a full board, or the first fault of an engine, which
// loses; the record says which, and why.
#pragma once

#include "engine_session.h"
#include "game_record.h"
#include "openings.h"

namespace arena {

struct MatchRules {
  int size = 0;
  int turnMs = 0;
  int matchMs = 0;  // 0: no limit for the game
  int toleranceMs = 0;
  long long maxMemory = 0;
  bool show = false;
};

// `opening` may be null (empty board). `blackEngine` is the index of the
// engine that owns the first stone.
GameRecord playGame(EngineSession* engines[2], int number, int blackEngine, const Opening* opening,
                    const MatchRules& rules);

}  // namespace arena
