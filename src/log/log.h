// The log file and the one fatal-error path.
//
// The log ("velmaro.log" in the brain's data sub-folder) records fatal
// errors only. It is opened when the player is created and closed at END.
// erro() may be called from either thread; it writes its line to the log and
// to standard output and ends the process with exit code 0.
#pragma once

// Opens "<folder>velmaro.log" for appending (closing a log already open).
// A log that cannot be opened is fatal: "Non riesco ad aprire logfile".
void log_init(const char* folder);
// Writes text and a line feed to the open log and flushes; no log, no-op.
void log_write(const char* text);
void log_close();
[[noreturn]] void erro(const char* message);
