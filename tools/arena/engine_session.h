// EngineSession: one brain process seen from the manager's side of the
// Gomoku protocol. It owns the process for the whole match, restarting it
// when it died or had to be killed, and knows how much of the current game
// the brain has been told (`known`), so that a request for a move is sent as
// BEGIN (empty board), BOARD ... DONE (a brain without game state yet) or
// TURN x,y (the opponent's last stone). Informational lines (MESSAGE, DEBUG,
// SUGGEST, blank) are never taken as replies; they are kept in `infoLines`
// until the referee collects them. Only the referee drives a session.
//
// A session may carry INFO lines of its own (`extraInfo`, from
// --engine-info), sent after the arena's settings at every START so that
// they win over them in the brain: two sessions of one brain then play with
// different settings.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "child_process.h"
#include "game_record.h"

namespace arena {

// Time allowed for the replies to ABOUT and START.
constexpr int kSetupReplyMs = 10000;
// Time a brain gets to exit after END before it is killed.
constexpr int kEndGraceMs = 3000;
// Time to collect the exit status of a brain that closed its output.
constexpr int kExitWaitMs = 1000;

struct GameSettings {
  int size = 0;
  int turnMs = 0;
  int matchMs = 0;  // value sent as timeout_match (never 0 here)
  long long maxMemory = 0;
};

enum class ReplyStatus {
  kLine,     // a reply line arrived (in `text`)
  kTimeout,  // nothing but informational lines within the time
  kClosed,   // the brain closed its output or could not be written to
};

struct EngineReply {
  ReplyStatus status = ReplyStatus::kLine;
  std::string text;
  long long ms = 0;  // from the end of the request to the reply, measured here
};

struct SetupResult {
  bool ok = true;
  EndReason reason = EndReason::kSetupFailed;
  std::string detail;  // why the game could not start, without the engine's number
};

// Protocol lines as the arena reads them.
bool isInfoLine(const std::string& line);
bool isErrorLine(const std::string& line);
// "x,y" with optional blanks around the numbers; nothing else on the line.
bool parseMoveReply(const std::string& line, int& x, int& y);
// The value of name="..." in an ABOUT reply, or empty.
std::string aboutName(const std::string& line);

class EngineSession {
 public:
  EngineSession(int index, std::string command, std::string dataFolder, bool show,
                std::vector<std::string> extraInfo = {});

  // Starts the brain unless it runs. The first start asks ABOUT for its
  // name; a brain that cannot be started, or ends before it answers ABOUT
  // (a mistyped path, a file that is not a program), cannot play at all:
  // false, and startFailure() says why.
  bool ensureRunning();
  const std::string& startFailure() const { return failure; }
  // START n (which begins a new, empty game), then the INFO lines: the
  // arena's settings, then the session's own.
  SetupResult prepareGame(const GameSettings& settings);
  // Sends INFO time_left and the request for a move given all stones of the
  // game so far; `ownParity` is 0 when the brain plays black. Waits waitMs.
  EngineReply requestMove(const std::vector<RecordedMove>& moves, int ownParity, int timeLeftMs,
                          int waitMs);
  // The brain's move was accepted: it now knows every stone of the game.
  void moveAccepted(int stones) { known = stones; }
  // One more INFO line, e.g. "show_detail 1", after prepareGame().
  bool sendInfo(const std::string& nameAndValue) { return send("INFO " + nameAndValue); }
  // Kills the brain; it is started again before its next game.
  void abandon();
  // After a kClosed reply: how the process ended, e.g. "exit code 1".
  std::string exitDescription();
  // END, a wait for the exit, then a kill if it did not come.
  void finish();

  int index;  // 0 or 1
  std::string command;
  std::string dataFolder;
  std::string name;  // from ABOUT, else the command
  std::vector<std::string> infoLines;
  // Called with each informational line as it arrives, while the brain
  // thinks (the board page shows its analysis live); may be empty.
  std::function<void(const std::string&)> onInfoLine;

 private:
  bool send(const std::string& line);
  EngineReply awaitReply(int waitMs, long long since);
  SetupResult sendStart(const GameSettings& settings);
  std::string launchFailure();

  tools::ChildProcess process;
  bool show;
  std::vector<std::string> extraInfo;  // "thread_num 2", ...: sent as INFO lines
  bool launchedOnce = false;
  bool startedNow = false;  // the last ensureRunning() started the process
  bool broken = false;      // writes failed: the brain is gone
  int known = 0;
  std::string failure;  // why the first start failed
};

}  // namespace arena
