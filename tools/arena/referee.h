// The referee plays one game between the two engine sessions: it sets the
// game up on both, places the opening, asks the engine to move for each
// stone, measures every reply on its own clock and judges it. The game ends
// at five in a row, a full board, or the first fault of an engine, which
// loses; the record says which, and why. The board page's server
// (serve_game.h) judges its games with the same functions, one stone at a
// time.
#pragma once

#include "engine_session.h"
#include "game_board.h"
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

// START and the settings on each engine, black first; a null engine (the
// person at the board page) is skipped. The record gets the engines' names.
// False when an engine failed to start the game: it lost, the record says why.
bool setUpEngines(EngineSession* engines[2], GameRecord& record, const MatchRules& rules);

// Asks `engine` (the one on move) for the next stone, judges the reply and,
// when it is a legal stone in time, places it and records it with its reply
// time. False when the reply lost the game; the record then says why.
// `used` is each engine's reply time so far in this game (the match clock).
bool takeEngineStone(EngineSession& engine, GameBoard& board, GameRecord& record, long long used[2],
                     const MatchRules& rules);

// After the last recorded stone, on (x, y): five or more in a row win for
// its player, a full board is a draw. True when the game is over.
bool stoneEndsGame(const GameBoard& board, int x, int y, GameRecord& record);

// `opening` may be null (empty board). `blackEngine` is the index of the
// engine that owns the first stone.
GameRecord playGame(EngineSession* engines[2], int number, int blackEngine, const Opening* opening,
                    const MatchRules& rules);

}  // namespace arena
