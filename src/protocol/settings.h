// The game settings announced by the manager (START, RECTSTART and INFO).
//
// Owned by the command loop, which alone writes them; the brain adapter
// reads them when it validates (brain_init) and once when it creates the
// player. INFO may change them while the worker computes: the worker reads
// them only while it creates the player itself; settingsLock() guards that
// moment.
#pragma once

#include <mutex>

constexpr int kDataFolderCapacity = 256;  // 255 characters and the terminator

struct GameSettings {
  int width = 0;  // 0: no board size set
  int height = 0;
  int info_timeout_turn = 30000;
  int info_timeout_match = 1000000000;
  int info_time_left = 1000000000;
  int info_max_memory = 0;
  int info_game_type = 1;
  int info_exact5 = 0;
  int info_continuous = 0;
  int info_renju = 0;
  int info_caro = 0;
  char dataFolder[kDataFolderCapacity] = {};
};

extern GameSettings gameSettings;

// INFO lines may change the settings while the worker creates the player,
// the one moment both threads use them: INFO writes them, and the player's
// creation copies them, under this lock. All other uses are on the main
// thread, or on the worker while the main thread waits for it.
std::mutex& settingsLock();
// A copy of the settings taken under settingsLock().
GameSettings copySettings();
