// LiveGame: the one game that the board page shows, kept by the server for
// every tab that looks at it. Its players are the record's engine indexes:
// with one brain, the brain is 0 and the person at the page is 1; with two
// brains both are brains and the page only watches their games.
//
// HTTP handler threads read the state and ask for changes; one worker thread
// does all the talking to the brains (START and the settings, each move), so
// that no request waits for a brain. Moves are judged by the referee's own
// functions, exactly as in matches. Every change bumps `version` and calls
// the listener, which has the server send the new state to the pages'
// event streams.
//
// Invariants, under `mutex`: `board` holds exactly the stones of
// `record.moves`; while the worker is active it owns the brains and the game, and
// requests that would change it are refused; a finished game (`over`) takes
// no stones until an undo or a new game.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine_session.h"
#include "game_board.h"
#include "game_record.h"
#include "http_status.h"
#include "referee.h"
#include "serve_json.h"

namespace arena {

constexpr int kPersonSeat = 1;           // the person's index in a game against one brain
constexpr int kMaxLoggedMessages = 200;  // the brains' newest lines that the state carries
constexpr const char* kPersonName = "person";

// An answer to the page: an HTTP status and a JSON body (the state, or
// {"error": "..."} when the request was refused and nothing changed).
struct PageAnswer {
  int status = kOk;
  std::string body;
};

class LiveGame {
 public:
  // `engines` holds one or two running sessions; they stay owned by the caller.
  LiveGame(std::vector<EngineSession*> engines, const MatchRules& rules);
  ~LiveGame();
  LiveGame(const LiveGame&) = delete;
  LiveGame& operator=(const LiveGame&) = delete;

  // Called, under the game's lock, after every change; it must not block.
  // Set before start().
  void setListener(std::function<void()> onChange) { listener = std::move(onChange); }
  // Starts the worker with the first game: the person black, or the first
  // brain black in a game between two.
  void start();
  // Ends the worker and the brains: END, and a kill for a brain that does
  // not exit. A brain's move in progress ends first, at once when the
  // interrupts have cancelled the waits for brains.
  void stop();

  PageAnswer newGame(const Json& request);
  PageAnswer move(const Json& request);
  PageAnswer undo();
  // The state as JSON, and its version.
  std::string state(long long* stateVersion = nullptr) const;
  // The finished game's record, as matches write it: .psq or SGF. False
  // (with a message in `text`) while the game goes on.
  bool recordText(bool sgf, std::string& text, std::string& fileName);

 private:
  enum class Job { kNone, kNewGame, kResync };
  enum class Activity { kIdle, kStarting, kThinking };  // what the worker does now

  void run();
  bool brainToMove() const;
  void setUpBrains(std::unique_lock<std::mutex>& lock);
  void playBrainMove(std::unique_lock<std::mutex>& lock);
  void changed();
  bool starting() const { return job != Job::kNone || activity == Activity::kStarting; }
  // A brain is being set up, or is on move (thinking, or about to).
  bool brainBusy() const;
  std::string stateJson() const;

  std::vector<EngineSession*> sessions;
  EngineSession* seats[2] = {nullptr, nullptr};  // null: the person
  MatchRules rules;
  bool watching;  // two brains: the page only watches

  std::function<void()> listener;
  mutable std::mutex mutex;
  std::condition_variable wake;  // the worker: there is work, or stop
  GameRecord record;
  GameBoard board;
  GameTime gameTime;  // reply time of each player in this game, as the referee keeps it
  Job job = Job::kNone;
  Activity activity = Activity::kIdle;
  bool over = false;
  bool stopping = false;
  long long busySince = 0;  // steady ms: the worker began its activity
  long long turnStart = 0;  // steady ms: the player on move got the turn
  long long version = 1;
  long long changedAt = 0;  // wall-clock ms of the last change
  std::thread worker;
};

}  // namespace arena
