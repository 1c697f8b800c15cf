// LiveGame: the one game that the board page shows, kept by the server for
// every tab that looks at it. Its players are the record's engine indexes:
// with one brain, the brain is 0 and the person at the page is 1; with two
// brains both are brains and the page only watches their games.
//
// HTTP handler threads read the state and ask for changes; one worker thread
// does all the talking to the brains (START and the settings, each move,
// each hint), so that no request waits for a brain. Moves are judged by the
// referee's own functions, exactly as in matches. Every change bumps
// `version` and calls the listener, which has the server send the new state
// to the pages' event streams.
//
// Each game has its own settings (board size, the brain's time a move, who
// plays black, help on or off) and may begin from stones given with it (a
// loaded record): those are the game's opening, which undo does not take
// back. With help on, the brain is asked for `INFO show_detail 1` and its
// search is read live into the state's analysis; a hint is the move a
// second process of the same brain (the hint brain, started at the first
// hint, in the person's data folder) finds for the person's side. It is
// asked on the worker, at the person's turn, while the playing brain waits
// anyway: the playing brain's conversation stays that of a match game, and
// its game memory learns from its own games only.
//
// Invariants, under `mutex`: `board` holds exactly the stones of
// `record.moves`; while the worker is active it owns the brains and works on
// copies, and what it finds is published only when `epoch` is still the one
// it began with (a resignation, or a new game after it, moves the epoch on,
// and the brain's late answer is then dropped); a finished game (`over`)
// takes no stones until an undo or a new game.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine_session.h"
#include "game_board.h"
#include "game_record.h"
#include "http_status.h"
#include "referee.h"
#include "serve_analysis.h"
#include "serve_json.h"

namespace arena {

constexpr int kPersonSeat = 1;           // the person's index in a game against one brain
constexpr int kMaxLoggedMessages = 200;  // the brains' newest lines that the state carries
constexpr const char* kPersonName = "person";
// The brain's time a move that a new game may ask for.
constexpr int kMinPageTurnMs = 100;
constexpr int kMaxPageTurnMs = 600000;

// An answer to the page: an HTTP status and a JSON body (the state, or
// {"error": "..."} when the request was refused and nothing changed).
struct PageAnswer {
  int status = kOk;
  std::string body;
};

class LiveGame {
 public:
  // `engines` holds one or two running sessions; they stay owned by the
  // caller. The hint brain runs `engines[0]`'s command in `hintFolder`, with
  // the same INFO lines of its own (`hintInfo`, the engine's --engine-info).
  LiveGame(std::vector<EngineSession*> engines, const MatchRules& rules, std::string hintFolder,
           std::vector<std::string> hintInfo);
  ~LiveGame();
  LiveGame(const LiveGame&) = delete;
  LiveGame& operator=(const LiveGame&) = delete;

  // Called, under the game's lock, after every change; it must not block.
  // Set before start().
  void setListener(std::function<void()> onChange) { listener = std::move(onChange); }
  // Starts the worker with the first game: the person black, or the first
  // brain black in a game between two.
  void start();
  // Ends the worker and the brains, the hint brain too: END, and a kill for
  // a brain that does not exit. A brain's move in progress ends first, at
  // once when the interrupts have cancelled the waits for brains.
  void stop();

  PageAnswer newGame(const Json& request);
  PageAnswer move(const Json& request);
  PageAnswer undo();
  PageAnswer resign();
  PageAnswer hint();
  // The state as JSON, and its version.
  std::string state(long long* stateVersion = nullptr) const;
  // The finished game's record, as matches write it: .psq or SGF. False
  // (with a message in `text`) while the game goes on.
  bool recordText(bool sgf, std::string& text, std::string& fileName);

 private:
  enum class Job { kNone, kNewGame, kResync, kHint };
  // What the worker does now.
  enum class Activity { kIdle, kStarting, kThinking, kHinting };

  // The analysis shown: the newest search, of a brain's move or of a hint.
  struct Search {
    bool active = false;  // under way
    int player = 0;       // whose move it looks for
    bool hint = false;
    std::size_t stones = 0;  // the position it searches: the game's first `stones` stones
    SearchReport report;
  };
  // The newest hint, for the position of its first `stones` stones.
  struct Hint {
    bool given = false;
    std::size_t stones = 0;
    int x = 0;
    int y = 0;
    std::string error;  // why there is none
  };

  void run();
  bool brainToMove() const;
  void setUpBrains(std::unique_lock<std::mutex>& lock);
  void playBrainMove(std::unique_lock<std::mutex>& lock);
  void findHint(std::unique_lock<std::mutex>& lock);
  // On the worker, without the lock: the hint brain's move for the person.
  Hint askHintBrain(const std::vector<RecordedMove>& moves, int personParity,
                    const MatchRules& gameRules, long long began);
  // Reads the brain's lines into `search` while it thinks.
  void listenToSearch(EngineSession& engine, long long began, int size);
  void beginTurn(long long now);
  void changed();
  bool starting() const { return job != Job::kNone || activity == Activity::kStarting; }
  // A brain is being set up, or is on move (thinking, or about to), or a
  // hint is being found.
  bool brainBusy() const;
  // Why the person may not change the game now, or nullptr.
  const char* busyReason(const char* brainThinking) const;
  // The stones the person's undo keeps: before the person's last stone that
  // is not part of the game's opening; -1 when there is none to take back.
  long long undoCut() const;
  std::string stateJson() const;

  std::vector<EngineSession*> sessions;
  EngineSession* seats[2] = {nullptr, nullptr};  // null: the person
  std::string hintFolder;
  std::vector<std::string> hintInfo;
  std::unique_ptr<EngineSession> hintBrain;  // worker only; started at the first hint
  MatchRules rules;                          // this game's: the size and turn time change with each
  bool help = true;                          // analysis and hints in this game
  bool watching;                             // two brains: the page only watches

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
  long long epoch = 0;          // moves on when the game ends or is replaced under the worker
  long long busySince = 0;      // steady ms: the worker began its activity
  long long turnStart = 0;      // steady ms: the player on move got the turn
  long long turnStartedAt = 0;  // the same on the wall clock, for the pages' clocks
  long long version = 1;
  long long changedAt = 0;  // wall-clock ms of the last change
  Search search;
  Hint lastHint;
  std::thread worker;
};

}  // namespace arena
