// Ctrl-C and SIGTERM as the match sees them, and the cancel pipe that breaks
// off the running games.
//
// The signal handler only counts: the first Ctrl-C asks the match to start
// no new game and to finish the running ones; the second Ctrl-C, or a
// SIGTERM, cancels the running games at once. Cancelling sets a flag and
// writes one byte into a pipe whose read end is ChildProcess's cancel
// descriptor, so every wait for a brain's reply ends immediately; the games
// then lose their brains (killed and reaped by the threads that own them)
// and are not counted. The match may also cancel by itself (the SPRT
// decided while later games ran). Nothing is ever reset: a match stops once.
//
// The handlers are installed first thing, before any brain starts, so that
// no signal ever finds a brain without the code that ends it. The board
// page's server has no games to finish: for it the first Ctrl-C cancels,
// and the cancel descriptor also wakes its event loop.
#pragma once

namespace arena {

// Creates the pipe, hands it to ChildProcess and installs the handlers.
// False when the pipe cannot be made.
bool installInterruptHandlers();

// From now on the first Ctrl-C cancels too; one that came before cancels now.
void cancelOnFirstInterrupt();

// Ctrl-C presses so far; a SIGTERM counts as two.
int interruptCount();

// Readable once the games are cancelled (it is never read or reset).
int cancelDescriptor();

// Breaks off the running games (async-signal-safe).
void cancelRunningGames();
bool gamesCancelled();

}  // namespace arena
