// The brain adapter: the callbacks behind the manager's commands.
//
// It validates the game settings, creates the one player lazily at the
// first stone or move request (data sub-folder, log, random seed, engine),
// passes stones and move requests to it, starts new games on it and ends
// it. `player` and `ready` need no lock: the command loop's events keep the
// main thread and the worker apart. brain_turn (and the brain_my it reaches)
// run on the worker; everything else on the main thread.
#pragma once

// Validates the settings; writes "OK" or the first failing check's ERROR
// line. Returns true when it wrote "OK".
bool brain_init();
// True for a board the engine can play: square, and no side over 20.
bool brain_plays_board(int width, int height);
// A START or RECTSTART accepted by brain_init: begins a new, empty game on an
// existing player (or ends the player when the size changed).
void brain_start_game();
void brain_restart();
// Decides and plays the engine's move. requestMs is the clock reading when
// the manager's request arrived (time spent before the decision counts).
void brain_turn(int requestMs);
// Plays the engine's chosen move and writes it ("x,y").
void do_mymove(int x, int y);
void brain_my(int x, int y);
void brain_opponents(int x, int y);
void brain_block(int x, int y);
// True when a stone may go on (x, y), a square inside the board settings:
// there is no player yet, or the square is on the player's board and empty.
// A manager never sends anything else, but the engine must not play over a
// stone (its records of the game would break, and enough such stones would
// overrun them), nor off its board: the player keeps the size it was created
// with, while a rejected START or the implicit 20x20 start after one changes
// the settings alone.
bool brain_square_free(int x, int y);
int brain_takeback(int x, int y);
// END has come: a decision in progress stops at once (it answers with the
// best move found so far). Safe from the main thread while the worker runs.
void brain_interrupt();
void brain_end();
// Harnesses: destroys any player, even one whose creation a fatal error
// cut short, so that the next game event creates a new one.
void brain_reset();
// Harnesses: a node budget for the engines of players created from now on
// (0: none), so that a decision stops within it whatever the time limits.
void brain_set_node_limit(unsigned long long nodes);
