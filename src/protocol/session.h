// What the command loop and the brain adapter share: the game settings the
// manager announces (START, RECTSTART and INFO) and the one way to write a
// protocol line. Neither of the two includes the other; both include this.
//
// The command loop alone writes the settings; the brain adapter reads them
// when it validates (brain_init), when it creates the player, when a game
// starts and when a move is asked for. INFO may change them while the worker
// computes, and the worker reads them when it creates the player or starts a
// decision: settingsLock() guards those moments.
#pragma once

#include <mutex>

#include "protocol/line_splitter.h"

// A data folder as long as an INFO line can carry, and the terminator.
constexpr int kDataFolderCapacity = kMaxLineLength + 1;
// The match time without a limit: "INFO timeout_match 0" means this, and so
// does a manager that never sends the line.
constexpr int kNoMatchLimitMs = 1000000000;

struct GameSettings {
  int width = 0;  // 0: no board size set
  int height = 0;
  int info_timeout_turn = 30000;
  int info_timeout_match = kNoMatchLimitMs;
  int info_time_left = kNoMatchLimitMs;
  // INFO time_left arrived since the last move request: its figure is the
  // manager's clock for the next move.
  bool time_left_sent = false;
  int info_max_memory = 0;
  // Search threads the manager allows; less than 1 means one.
  int info_thread_num = 1;
  // A work budget per decision, the deepest iteration (0: none, the
  // brain's own), and whether to say what the brain thinks (MESSAGE lines).
  int info_max_node = 0;
  int info_max_depth = 0;
  int info_show_detail = 0;
  int info_game_type = 1;
  // The bits of INFO rule (1 exact five, 2 continuous game, 4 renju, 8
  // caro); all 0 is free-style.
  int info_exact5 = 0;
  int info_continuous = 0;
  int info_renju = 0;
  int info_caro = 0;
  char dataFolder[kDataFolderCapacity] = {};
};

extern GameSettings gameSettings;

// INFO lines may change the settings while the worker uses them: INFO
// writes them, and the worker copies them (or takes the time left for its
// move), under this lock. All other uses are on the main thread, or on the
// worker while the main thread waits for it.
std::mutex& settingsLock();
// A copy of the settings taken under settingsLock().
GameSettings copySettings();

// The ERROR line for the rule the settings hold when the brain does not play
// it, or nullptr when it does. It plays free-style only, so any of the four rule bits is
// refused; with several, the line names the first of exact five, renju,
// continuous and caro (one reply per command, the same at INFO and START).
// Higher bits name no rule and are ignored.
const char* unsupportedRuleError(const GameSettings& settings);

// Writes one protocol line: printf-style text, a line feed and a flush, as
// one unit (lines of the two threads never interleave).
void pipeOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
