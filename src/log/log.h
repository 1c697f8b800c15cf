// The log file and the one fatal-error path.
//
// The log ("velmaro.log" in the brain's data sub-folder) records fatal
// errors only. It is opened when the player is created and closed at END.
// erro() may be called from either thread; it writes its line to the log and
// to standard output and ends the process with exit code 0.
//
// The end itself goes through a replaceable hook, platform::exitProcess by
// default. Only in-process test harnesses replace it (to survive the
// legitimate fatal paths); their hook may unwind back into the harness, so
// with a replaced hook erro() lets the next fatal error in again.
#pragma once

// Opens "<folder>velmaro.log" for appending (closing a log already open).
// False when it cannot be opened: the run then has no log.
bool log_init(const char* folder);
// Writes text and a line feed to the open log and flushes; no log, no-op.
void log_write(const char* text);
void log_close();
[[noreturn]] void erro(const char* message);

// Ends the process after a fatal error; must not return to erro().
using FatalExitHook = void (*)();
// Replaces the hook; nullptr puts back the default.
void setFatalExitHook(FatalExitHook hook);
