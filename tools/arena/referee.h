// The referee plays one game between the two engine sessions: it sets the
// game up on both, places the opening, asks the engine to move for each
// stone, measures every reply on its own clock and judges it. The game ends
// at five in a row, a full board, or the first fault of an engine, which
// loses; the record says which, and why. The board page's server
// (serve_game.h) judges its games with the same functions, one stone at a
// time.
//
// Time: a move may take the turn time (when `turnLimited`), the rest of the
// engine's match time (`matchMs`), or what its clock shows (`clockMs`, which
// gains `incrementMs` after each of its moves), whichever is least, plus the
// tolerance. Overruns of the match time and the clock add up over the game:
// the engine loses once they exceed the tolerance.
#pragma once

#include "engine_session.h"
#include "game_board.h"
#include "game_record.h"
#include "openings.h"

namespace arena {

struct MatchRules {
  int size = 0;
  int turnMs = 0;           // sent as timeout_turn
  bool turnLimited = true;  // a single move may take at most turnMs
  int matchMs = 0;          // 0: no limit for the game
  int clockMs = 0;          // each engine's clock at the start; 0: no clock
  int incrementMs = 0;      // added to the clock after each move
  int toleranceMs = 0;
  long long maxMemory = 0;
  bool show = false;
};

// START and the settings on each engine, black first; a null engine (the
// person at the board page) is skipped. The record gets the engines' names.
// False when an engine failed to start the game: it lost, the record says why.
bool setUpEngines(EngineSession* engines[2], GameRecord& record, const MatchRules& rules);

// Each engine's time in one game: its reply time so far (against the match
// time) and, with a clock, what the clock shows.
struct GameTime {
  long long used[2] = {0, 0};
  long long clock[2] = {0, 0};
};

// Places `stone` as the record's next stone, in the colour its number gives
// (black first), and appends it to the moves: the one way a stone enters a
// game, so that the board keeps exactly the record's stones.
void addStone(GameBoard& board, GameRecord& record, const RecordedMove& stone);

// Asks `engine` (the one on move) for the next stone, judges the reply and,
// when it is a legal stone in time, places it and records it with its reply
// time. False when the reply lost the game; the record then says why.
// `time` is updated with the reply's time.
bool takeEngineStone(EngineSession& engine, GameBoard& board, GameRecord& record, GameTime& time,
                     const MatchRules& rules);

// After the last recorded stone, on (x, y): five or more in a row win for
// its player, a full board is a draw. True when the game is over.
bool stoneEndsGame(const GameBoard& board, int x, int y, GameRecord& record);

// `opening` may be null (empty board). `blackEngine` is the index of the
// engine that owns the first stone.
GameRecord playGame(EngineSession* engines[2], int number, int blackEngine, const Opening* opening,
                    const MatchRules& rules);

}  // namespace arena
