#include "protocol/brain_adapter.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "log/log.h"
#include "platform/filesystem.h"
#include "platform/random.h"
#include "player/player.h"
#include "protocol/session.h"

namespace {

Velmaro_player* player = nullptr;
int ready = 0;
unsigned long long nodeLimit = 0;  // given to each new engine; 0: none
// Set by END on the main thread; the engine reads it while it decides.
std::atomic<bool> stopRequested{false};

// The engine's fixed parameters: search depth and options (game memory on,
// leaves valued by following forced lines).
constexpr int kPlayerMaxDepth = 24;
constexpr unsigned kPlayerOptions = 3;
// Game types the brain plays: 0 human opponent, 1 brain opponent, 2
// tournament, 3 network tournament. They only describe the opponent.
constexpr unsigned kMaxGameType = 3;

constexpr const char* kSubFolder = "velmaro";
constexpr const char* kLogFile = "velmaro.log";
// The longest name the brain writes in its data sub-folder.
constexpr const char* kLongestFileName = "velmDat.0.tmp";

// The data sub-folder: "<dataFolder><sep>velmaro". On Linux an empty folder
// means the working directory (the root is not writable for ordinary users).
std::string subFolderPath(const GameSettings& settings) {
  std::string folder = settings.dataFolder;
#ifndef _WIN32
  if (folder.empty()) return kSubFolder;
#endif
  return folder + platform::kPathSeparator + kSubFolder;
}

// The folder handed to the player and the log, with a trailing separator.
std::string folderPath(const GameSettings& settings) {
  return subFolderPath(settings) + platform::kPathSeparator;
}

void brain_init_datapath(const GameSettings& settings) {
  std::string logPath = folderPath(settings) + kLogFile;
  if (std::FILE* f = platform::openFile(logPath.c_str(), "r")) {
    std::fclose(f);
    return;
  }
  if (std::FILE* f = platform::openFile(logPath.c_str(), "w")) {
    std::fclose(f);
    return;
  }
  // Not reported here: the log's opening finds out whether the folder now
  // exists.
  platform::makeDirectories(subFolderPath(settings).c_str());
}

// Prepares the data sub-folder and opens the log in it. A folder is used
// exactly as the manager named it or not at all: one that is too long for
// the engine's paths, or cannot be created or written, leaves the run
// without files (an empty path), which is said in one MESSAGE line. Losing
// the log and the memory costs less than losing the game.
std::string openDataFolder(const GameSettings& settings) {
  const std::string folder = folderPath(settings);
  if (Velmaro_player::fitsDataFolder(folder.size() +
                                     std::char_traits<char>::length(kLongestFileName))) {
    brain_init_datapath(settings);
    if (log_init(folder.c_str())) return folder;
  }
  pipeOut("MESSAGE cannot use the data folder; this run writes no files");
  return "";
}

// The limits of a game starting now. A match time of 0 is the protocol's
// "no limit", under which a time left means nothing.
GameLimits gameLimits(const GameSettings& settings) {
  GameLimits limits;
  limits.timeoutTurn = settings.info_timeout_turn;
  const bool unlimited = settings.info_timeout_match == 0;
  limits.timeoutMatch = unlimited ? kNoMatchLimitMs : settings.info_timeout_match;
  if (settings.time_left_sent && !unlimited) limits.timeLeft = settings.info_time_left;
  limits.maxMemory = settings.info_max_memory;
  limits.threads = settings.info_thread_num;
  return limits;
}

// How the next decision is searched. A node budget below 1 is none, a
// depth below 1 the brain's own; a harness's bound, if any, holds over the
// manager's budget.
SearchOptions searchOptions(const GameSettings& settings) {
  SearchOptions options;
  options.threads = settings.info_thread_num;
  const long long bound = static_cast<long long>(nodeLimit);
  options.maxNodes = settings.info_max_node;
  if (options.maxNodes < 1 || (bound > 0 && bound < options.maxNodes)) options.maxNodes = bound;
  options.workClock = settings.info_max_node > 0;
  options.maxDepth = settings.info_max_depth;
  options.showDetail = settings.info_show_detail > 0;
  return options;
}

// The score of an iteration: a number, or a proven result with its plies.
void scoreText(const IterationReport& r, char* text, std::size_t size) {
  if (r.proven == 0) {
    std::snprintf(text, size, "%d", r.score);
  } else {
    std::snprintf(text, size, "%s in %d", r.proven > 0 ? "win" : "loss", r.plies);
  }
}

// "MESSAGE depth D score S nodes N nps R time T pv x,y x,y ..."
void reportIteration(const IterationReport& r) {
  char score[32];
  scoreText(r, score, sizeof score);
  const int ms = r.timeMs > 0 ? r.timeMs : 1;
  // " x,y" takes at most 6 characters.
  char pv[kReportPvCapacity * 6 + 1] = "";
  int used = 0;
  for (int k = 0; k < r.pvCount; k++)
    used += std::snprintf(pv + used, sizeof pv - used, " %d,%d", r.pvX[k], r.pvY[k]);
  pipeOut("MESSAGE depth %d score %s nodes %llu nps %llu time %d pv%s", r.depth, score, r.nodes,
          r.nodes * 1000ULL / static_cast<unsigned long long>(ms), r.timeMs, pv);
}

// "MESSAGE best x,y by opening rule | forced reply | search depth D"
void reportChoice(const ChoiceReport& r) {
  if (r.source == ChoiceSource::kSearch) {
    pipeOut("MESSAGE best %d,%d by search depth %d", r.x, r.y, r.depth);
  } else {
    pipeOut("MESSAGE best %d,%d by %s", r.x, r.y,
            r.source == ChoiceSource::kOpening ? "opening rule" : "forced reply");
  }
}

// Says when the memory limit is below what even the smallest engine needs.
void reportMemoryFit(const GameSettings& settings) {
  if (!Velmaro_player::fitsInMemory(settings.info_max_memory))
    pipeOut(
        "MESSAGE max_memory %d is below what the engine needs; it plays with its smallest tables",
        settings.info_max_memory);
}

void brain_create_player() {
  pipeOut("MESSAGE creating player");
  // The worker may create the player while INFO lines change the settings:
  // work from one consistent copy.
  const GameSettings settings = copySettings();
  const std::string folder = openDataFolder(settings);
  platform::seedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
  reportMemoryFit(settings);
  player = new Velmaro_player(settings.width, settings.height, gameLimits(settings),
                              kPlayerMaxDepth, kPlayerOptions, folder.c_str());
  if (player->brain == nullptr) erro("Not enough memory for the engine");
  player->setStopSignal(&stopRequested);
  player->newgame();
}

void ensurePlayer() {
  if (ready == 0) {
    brain_create_player();
    ready = 1;
  }
}

// A new game on the existing player, under the limits the manager has
// announced since the last one.
void newGame() {
  const GameSettings& settings = gameSettings;
  reportMemoryFit(settings);
  player->setGameLimits(gameLimits(settings));
  player->newgame();
}

// Destroys the player: its game memory writes the memory file; the log
// closes. The next game event creates a new player.
void endPlayer() {
  delete player;
  player = nullptr;
  ready = 0;
  log_close();
}

}  // namespace

bool brain_init() {
  const GameSettings& s = gameSettings;
  if (s.width < 5 || s.height < 5) {
    pipeOut("ERROR size of the board");
  } else if (s.info_timeout_turn < 0) {
    pipeOut("ERROR time for one turn in milliseconds");
  } else if (s.info_timeout_match < 0) {
    pipeOut("ERROR total time for a game");
  } else if (s.info_time_left < 0) {
    pipeOut("ERROR remaining time for a game");
  } else if (s.info_max_memory < 0) {
    pipeOut("ERROR maximum memory in bytes, zero if unlimited");
  } else if (static_cast<unsigned>(s.info_game_type) > kMaxGameType) {
    pipeOut("ERROR unsupported game type %d", s.info_game_type);
  } else if (const char* error = unsupportedRuleError(s)) {
    pipeOut("%s", error);
  } else {
    pipeOut("OK");
    return true;
  }
  return false;
}

bool brain_plays_board(int width, int height) {
  return Velmaro_player::playsBoard(width, height);
}

void brain_start_game() {
  if (ready == 0) return;
  if (player->size_x == gameSettings.width && player->size_y == gameSettings.height) {
    newGame();
  } else {
    endPlayer();
  }
}

void brain_restart() {
  if (ready == 1) {
    pipeOut("MESSAGE restarting player");
    newGame();
  }
  pipeOut("OK");
}

void brain_turn(int requestMs) {
  ensurePlayer();
  // The turn limit as it stands now, and the manager's clock if it gave one
  // for this move.
  GameLimits limits;
  SearchOptions options;
  {
    std::lock_guard<std::mutex> hold(settingsLock());
    limits = gameLimits(gameSettings);
    options = searchOptions(gameSettings);
    gameSettings.time_left_sent = false;
  }
  int x = 0, y = 0;
  Reporters reporters;
  reporters.iteration = reportIteration;
  reporters.choice = reportChoice;
  player->setSearchOptions(options, reporters);
  player->think_move(x, y, requestMs, limits.timeoutTurn, limits.timeLeft);
  do_mymove(x, y);
}

void do_mymove(int x, int y) {
  brain_my(x, y);
  pipeOut("%d,%d", x, y);
}

void brain_my(int x, int y) {
  ensurePlayer();
  player->move_my(x, y);
}

void brain_opponents(int x, int y) {
  ensurePlayer();
  player->move_oppo(x, y);
}

bool brain_square_free(int x, int y) {
  if (ready == 0) return true;
  return player->squareEmpty(x, y);
}

void brain_block(int, int) {
  pipeOut("ERROR blocking not supported");
}

int brain_takeback(int, int) {
  pipeOut("ERROR takeback not supported");
  return 1;
}

void brain_interrupt() {
  stopRequested.store(true);
}

void brain_end() {
  if (ready == 0) {
    pipeOut("ERROR ending a non inited player");
    return;
  }
  endPlayer();
  pipeOut("OK");
}

void brain_reset() {
  endPlayer();
  stopRequested.store(false);
}

void brain_set_node_limit(unsigned long long nodes) {
  nodeLimit = nodes;
}
