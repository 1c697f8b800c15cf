// The command loop: reads the manager's commands, keeps the game settings,
// answers on standard output and hands every move request to the worker.
//
// Two events hand the engine between the threads: `event1` (auto-reset)
// orders one computation; `event2` (manual-reset) is set while none runs.
// Every command that touches the game first waits for `event2`, so the
// engine is used by one thread at a time. INFO, ABOUT and unknown lines are
// answered at once, also while the worker computes.
//
// For in-process harnesses the computation can instead run synchronously,
// inside handleLine on the calling thread, and resetCommandLoop() puts the
// protocol back to its start-up state (no player, default settings).
#pragma once

#include "protocol/line_splitter.h"

// Creates the events and starts the worker thread (once per process).
void startCommandLoop();
// Handles one input line (line ending removed). Returns true when the
// process must end (END has been answered). arrivalMs is the clock reading
// when the line arrived; a move request's time is measured from it.
bool handleLine(const char* line, int arrivalMs);
// Handles a line that was too long to keep (LineSplitter::tooLong): it is
// refused as a whole. Returns false (the process goes on).
bool handleTooLongLine();
// Reads one line as the manager sends it, a trailing CR removed; tooLong
// tells a line too long to keep (cmd is then empty). False at end of input.
bool readLine(char* cmd, bool& tooLong);
// The process: start-up message, the loop, the exit. Never returns.
[[noreturn]] void runCommandLoop();
// Waits until no computation runs (for tests driving handleLine).
void waitIdle();
// On: every move computation runs inside handleLine on the calling thread;
// no worker or event is used, so startCommandLoop() is not needed.
void setSynchronousTurns(bool on);
// Back to the state at start-up: player destroyed, settings at their
// defaults, not inside a BOARD block. No computation may be running.
void resetCommandLoop();
