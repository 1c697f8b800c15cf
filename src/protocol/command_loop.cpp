#include "protocol/command_loop.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/event.h"
#include "platform/process.h"
#include "platform/text.h"
#include "protocol/brain_adapter.h"
#include "protocol/session.h"

namespace {

constexpr const char* kInfoText =
    "name=\"velmaro\", author=\"TN\", version=\"0.0\", country=\"Ita\", "
    "www=\"https://velmaro.org\"";
constexpr const char* kConsoleWarning =
    "MESSAGE Gomoku AI should not be started directly. Please install gomoku manager "
    "(https://sourceforge.net/projects/piskvork/). Then enter path to this exe file in "
    "players settings.";
constexpr int kImplicitSide = 20;  // board size when a game command comes first
constexpr int kMinBoardSide = 5;

platform::Event* event1 = nullptr;  // start: auto-reset, created not signalled
platform::Event* event2 = nullptr;  // done: manual-reset, created signalled
int requestMs = 0;                  // arrival of the pending move request
bool readingBoard = false;          // the lines after BOARD are stones
int boardArrivalMs = 0;             // arrival of the BOARD line
bool synchronousTurns = false;      // harnesses: compute inside handleLine

void threadLoop() {
  event1->wait();
  brain_turn(requestMs);
  event2->set();
}

void startTurn(int arrivalMs) {
  requestMs = arrivalMs;
  if (synchronousTurns) {
    brain_turn(requestMs);
    return;
  }
  event2->reset();
  event1->set();
}

void waitDone() {
  if (!synchronousTurns) event2->wait();
}

void awaitIdle() {
  waitDone();
  if (gameSettings.width == 0) {
    gameSettings.width = gameSettings.height = kImplicitSide;
    brain_init();
  }
}

// Number parsing as the C library's "%d" and atoi do, but saturating at the
// int range instead of overflowing. Returns false when no digit follows.
bool parseInt(const char*& p, int& value) {
  const char* s = p;
  while (std::isspace(static_cast<unsigned char>(*s))) s++;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = (*s++ == '-');
  if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
  long long v = 0;
  while (std::isdigit(static_cast<unsigned char>(*s))) {
    if (v <= INT_MAX) v = v * 10 + (*s - '0');
    s++;
  }
  if (negative) v = -v;
  value = static_cast<int>(v < INT_MIN ? INT_MIN : (v > INT_MAX ? INT_MAX : v));
  p = s;
  return true;
}

int atoiSaturating(const char* text) {
  int value = 0;
  return parseInt(text, value) ? value : 0;
}

// Numbers separated by commas as "%d,%d,%d" reads them: each comma directly
// behind the number before it. Returns how many numbers were read.
int parseNumberList(const char* p, int* values, int count) {
  int read = 0;
  while (read < count && parseInt(p, values[read])) {
    read++;
    if (read == count || *p != ',') break;
    p++;
  }
  return read;
}

bool parseCoordinates(const char* param, int& x, int& y) {
  int xy[2];
  if (parseNumberList(param, xy, 2) != 2) return false;
  x = xy[0];
  y = xy[1];
  return x >= 0 && y >= 0 && x < gameSettings.width && y < gameSettings.height;
}

// The square of a stone: on the board and not taken.
bool parseStone(const char* param, int& x, int& y) {
  return parseCoordinates(param, x, y) && brain_square_free(x, y);
}

const char* skipSpace(const char* p) {
  while (std::isspace(static_cast<unsigned char>(*p))) p++;
  return p;
}

// A command word matches a line that begins with it, in any letter case.
bool matches(const char* line, const char* word, const char*& param) {
  std::size_t n = std::strlen(word);
  if (std::strlen(line) < n || platform::compareNoCase(line, word, n) != 0) return false;
  param = skipSpace(line + n);
  return true;
}

// INFO values are kept for the checks, games and moves that follow, and
// answered only when they announce a rule the brain does not play. That one
// is refused at once, whenever it comes (managers send INFO before START or
// after it): played free-style, a game under another rule is lost on the
// board while the engine believes it won. The value is kept all the same,
// so START refuses it as well, and a game in progress goes on as it was.
void handleInfo(const char* param) {
  const char* refusal = nullptr;
  {
    std::lock_guard<std::mutex> hold(settingsLock());
    GameSettings& s = gameSettings;
    const char* value;
    if (matches(param, "max_memory", value)) {
      s.info_max_memory = atoiSaturating(value);
    } else if (matches(param, "timeout_match", value)) {
      s.info_timeout_match = atoiSaturating(value);
    } else if (matches(param, "timeout_turn", value)) {
      s.info_timeout_turn = atoiSaturating(value);
    } else if (matches(param, "time_left", value)) {
      s.info_time_left = atoiSaturating(value);
      s.time_left_sent = true;
    } else if (matches(param, "game_type", value)) {
      s.info_game_type = atoiSaturating(value);
    } else if (matches(param, "rule", value)) {
      const int r = atoiSaturating(value);
      s.info_exact5 = r & 1;
      s.info_continuous = (r >> 1) & 1;
      s.info_renju = (r >> 2) & 1;
      s.info_caro = (r >> 3) & 1;
      refusal = unsupportedRuleError(s);
    } else if (matches(param, "thread_num", value)) {
      s.info_thread_num = atoiSaturating(value);
    } else if (matches(param, "max_node", value)) {
      s.info_max_node = atoiSaturating(value);
    } else if (matches(param, "max_depth", value)) {
      s.info_max_depth = atoiSaturating(value);
    } else if (matches(param, "show_detail", value)) {
      s.info_show_detail = atoiSaturating(value);
    } else if (matches(param, "folder", value)) {
      // The line fits the folder whole: it is never cut.
      std::snprintf(s.dataFolder, sizeof s.dataFolder, "%s", value);
    }
  }
  // Outside the lock: a reply can wait on a manager that does not read yet,
  // and the worker must not wait with it.
  if (refusal != nullptr) pipeOut("%s", refusal);
}

// A board the engine cannot play (wider than it can hold, or not square)
// is refused before anything changes: the manager learns at once, and the
// game in progress, if any, goes on as it was.
bool refuseBoard(int width, int height) {
  if (brain_plays_board(width, height)) return false;
  pipeOut("ERROR size of the board");
  return true;
}

// START and RECTSTART change the size: first wait for the worker, which
// may be reading it while it creates the player.
void handleStart(const char* param) {
  waitDone();
  const char* p = param;
  int n = 0;
  if (!parseInt(p, n) || n < kMinBoardSide) {
    gameSettings.width = 0;
    pipeOut("ERROR bad START parameter");
    return;
  }
  if (refuseBoard(n, n)) return;
  gameSettings.width = gameSettings.height = n;
  awaitIdle();
  if (brain_init()) brain_start_game();
}

void handleRectStart(const char* param) {
  waitDone();
  const char* p = param;
  int w = 0, h = 0;
  bool ok = parseInt(p, w);
  if (ok) {
    p = skipSpace(p);
    ok = *p == ',';
    if (ok) {
      p++;
      ok = parseInt(p, h);
    }
  }
  if (!ok || w < kMinBoardSide || h < kMinBoardSide) {
    gameSettings.width = gameSettings.height = 0;
    pipeOut("ERROR bad RECTSTART parameters");
    return;
  }
  if (refuseBoard(w, h)) return;
  gameSettings.width = w;
  gameSettings.height = h;
  awaitIdle();
  if (brain_init()) brain_start_game();
}

// One line of a BOARD block: a stone, or the end of the block.
void handleBoardLine(const char* line) {
  int stone[3];  // x, y, who
  int x = 0, y = 0;
  bool read = parseNumberList(line, stone, 3) == 3 && parseCoordinates(line, x, y);
  if (read) {
    int who = stone[2];
    const bool free = (who == 1 || who == 2) && brain_square_free(x, y);
    if (who == 1 && free) {
      brain_my(x, y);
      return;
    }
    if (who == 2 && free) {
      brain_opponents(x, y);
      return;
    }
    if (who == 3) {
      brain_block(x, y);
      return;
    }
  }
  readingBoard = false;
  if (platform::compareNoCase(line, "done") != 0)
    pipeOut("ERROR x,y,who or DONE expected after BOARD");
  // The manager sends the block at once: the turn began with its first line
  // (playing the stones may have created the player, which takes time).
  startTurn(boardArrivalMs);
}

}  // namespace

void startCommandLoop() {
  if (event1 != nullptr) return;
  event1 = new platform::Event(false, false);
  platform::startWorkerThread(threadLoop);
  event2 = new platform::Event(true, true);
}

void waitIdle() {
  waitDone();
}

void setSynchronousTurns(bool on) {
  synchronousTurns = on;
}

void resetCommandLoop() {
  waitDone();
  brain_reset();
  gameSettings = GameSettings{};
  requestMs = 0;
  readingBoard = false;
}

bool handleLine(const char* line, int arrivalMs) {
  if (readingBoard) {
    handleBoardLine(line);
    return false;
  }
  const char* param;
  int x = 0, y = 0;
  if (matches(line, "info", param)) {
    handleInfo(param);
  } else if (matches(line, "start", param)) {
    handleStart(param);
  } else if (matches(line, "rectstart", param)) {
    handleRectStart(param);
  } else if (matches(line, "restart", param)) {
    awaitIdle();
    brain_restart();
  } else if (matches(line, "turn", param)) {
    awaitIdle();
    if (parseStone(param, x, y)) {
      brain_opponents(x, y);
      startTurn(arrivalMs);
    } else {
      pipeOut("ERROR bad coordinates");
    }
  } else if (matches(line, "play", param)) {
    awaitIdle();
    if (parseStone(param, x, y)) {
      brain_my(x, y);
      pipeOut("%d,%d", x, y);
    } else {
      pipeOut("ERROR bad coordinates");
    }
  } else if (matches(line, "begin", param)) {
    awaitIdle();
    startTurn(arrivalMs);
  } else if (matches(line, "about", param)) {
    pipeOut("%s", kInfoText);
  } else if (matches(line, "end", param)) {
    // A manager ends a brain that does not end promptly, and a killed brain
    // keeps nothing of the game: a running decision stops at once, answers
    // as at its time limit, and END follows.
    brain_interrupt();
    waitDone();
    brain_end();
    return true;
  } else if (matches(line, "board", param)) {
    awaitIdle();
    readingBoard = true;
    boardArrivalMs = arrivalMs;
  } else if (matches(line, "takeback", param)) {
    awaitIdle();
    int r = parseCoordinates(param, x, y) ? brain_takeback(x, y) : -1;
    if (r == 0) {
      pipeOut("OK");
    } else if (r == 1) {
      pipeOut("UNKNOWN");
    } else {
      pipeOut("ERROR bad coordinates");
    }
  } else {
    pipeOut("UNKNOWN command");
  }
  return false;
}

bool handleTooLongLine() {
  if (readingBoard) {
    // Whatever it held, it was no stone and no "done": the board ends.
    handleBoardLine("");
    return false;
  }
  pipeOut("ERROR line too long");
  return false;
}

bool readLine(char* cmd, bool& tooLong) {
  LineSplitter splitter;
  for (;;) {
    int c = std::fgetc(stdin);
    if (c == EOF) return false;
    if (splitter.add(static_cast<char>(c), cmd)) {
      tooLong = splitter.tooLong;
      return true;
    }
  }
}

void runCommandLoop() {
  // A manager that closes our output must not end us through a signal: the
  // next reply fails to write, and the brain ends as at end of input.
  platform::ignoreBrokenPipe();
  if (platform::stdinIsInteractive()) pipeOut("%s", kConsoleWarning);
  startCommandLoop();
  char cmd[kCommandCapacity];
  for (;;) {
    bool tooLong = false;
    if (!readLine(cmd, tooLong)) platform::exitProcess();
    const bool end = tooLong ? handleTooLongLine() : handleLine(cmd, platform::monotonicMs());
    if (end) platform::exitProcess();
  }
}
