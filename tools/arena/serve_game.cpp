#include "serve_game.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <utility>

#include "child_process.h"
#include "records.h"

namespace arena {

namespace {

long long wallClockMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

const char* reasonName(EndReason reason) {
  switch (reason) {
    case EndReason::kFive:
      return "five";
    case EndReason::kBoardFull:
      return "board full";
    case EndReason::kCrash:
      return "crash";
    case EndReason::kTurnTime:
      return "turn time";
    case EndReason::kMatchTime:
      return "match time";
    case EndReason::kIllegalMove:
      return "illegal move";
    case EndReason::kErrorReply:
      return "error reply";
    case EndReason::kNotAMove:
      return "not a move";
    case EndReason::kSetupFailed:
      return "setup failed";
  }
  return "";
}

std::string squareText(long long x, long long y) {
  char text[48];
  std::snprintf(text, sizeof text, "(%lld,%lld)", x, y);
  return text;
}

PageAnswer refused(int status, const std::string& message) {
  return {status, jsonError(message)};
}

// A whole number; one beyond the range of long long is taken as its limit,
// which is off every board all the same.
bool wholeNumber(const Json& request, const char* name, long long& value) {
  auto it = request.find(name);
  if (it == request.end() || !it->is_number_integer()) return false;
  constexpr auto kLargest = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
  value = it->is_number_unsigned()
              ? static_cast<long long>(std::min(it->get<unsigned long long>(), kLargest))
              : it->get<long long>();
  return true;
}

}  // namespace

LiveGame::LiveGame(std::vector<EngineSession*> engines, const MatchRules& rules)
    : sessions(std::move(engines)),
      rules(rules),
      watching(sessions.size() == 2),
      board(rules.size) {
  seats[0] = sessions[0];
  seats[1] = watching ? sessions[1] : nullptr;
  record.size = rules.size;
  record.number = 1;
  record.blackEngine = watching ? 0 : kPersonSeat;
  for (int p = 0; p < 2; ++p) record.names[p] = seats[p] ? seats[p]->name : kPersonName;
  changedAt = wallClockMs();
}

LiveGame::~LiveGame() {
  stop();
}

void LiveGame::start() {
  std::lock_guard<std::mutex> lock(mutex);
  job = Job::kNewGame;
  worker = std::thread([this] { run(); });
}

void LiveGame::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) return;
    stopping = true;
  }
  wake.notify_all();
  if (worker.joinable()) worker.join();
  for (EngineSession* session : sessions) session->finish();
}

void LiveGame::changed() {
  ++version;
  changedAt = wallClockMs();
  if (listener) listener();
}

bool LiveGame::brainToMove() const {
  return !over && activity == Activity::kIdle && job == Job::kNone &&
         seats[record.engineOfMove(record.moves.size())] != nullptr;
}

bool LiveGame::brainBusy() const {
  return activity != Activity::kIdle || job != Job::kNone ||
         (!over && seats[record.engineOfMove(record.moves.size())] != nullptr);
}

void LiveGame::run() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    wake.wait(lock, [this] { return stopping || job != Job::kNone || brainToMove(); });
    if (stopping) return;
    if (job != Job::kNone) {
      setUpBrains(lock);
    } else {
      playBrainMove(lock);
    }
  }
}

void LiveGame::setUpBrains(std::unique_lock<std::mutex>& lock) {
  // Step 1. Take the job and a copy of the record; pages see "starting".
  job = Job::kNone;
  activity = Activity::kStarting;
  busySince = tools::nowMs();
  GameRecord copy = record;
  changed();
  lock.unlock();

  // Step 2. START and the settings on each brain, as before every match
  // game; after an undo the brain then gets the position with BOARD.
  const bool ok = setUpEngines(seats, copy, rules);

  // Step 3. Publish: a brain that failed to start the game has lost it.
  lock.lock();
  record = std::move(copy);
  activity = Activity::kIdle;
  over = !ok;
  turnStart = tools::nowMs();
  changed();
}

void LiveGame::playBrainMove(std::unique_lock<std::mutex>& lock) {
  // Step 1. Work on copies, so that pages read the state while the brain
  // thinks; nothing else changes the game while the worker is active.
  EngineSession& engine = *seats[record.engineOfMove(record.moves.size())];
  GameRecord copy = record;
  GameBoard position = board;
  GameTime time = gameTime;
  activity = Activity::kThinking;
  busySince = tools::nowMs();
  changed();
  lock.unlock();

  // Step 2. Ask for the stone and judge it as every match game does.
  bool ended = !takeEngineStone(engine, position, copy, time, rules);
  if (!ended) {
    const RecordedMove& m = copy.moves.back();
    ended = stoneEndsGame(position, m.x, m.y, copy);
  }

  // Step 3. Publish the stone, or the end of the game.
  lock.lock();
  record = std::move(copy);
  board = std::move(position);
  gameTime = time;
  activity = Activity::kIdle;
  over = ended;
  turnStart = tools::nowMs();
  changed();
}

PageAnswer LiveGame::newGame(const Json& request) {
  int blackSeat = kPersonSeat;
  auto colour = request.find("colour");
  if (!watching && colour != request.end()) {
    if (*colour != "black" && *colour != "white") {
      return refused(kBadRequest, "colour must be \"black\" or \"white\"");
    }
    blackSeat = *colour == "black" ? kPersonSeat : 1 - kPersonSeat;
  }
  std::lock_guard<std::mutex> lock(mutex);
  if (watching && !over) return refused(kConflict, "the brains' game is still running");
  if (brainBusy()) {
    return refused(kConflict, "wait: the brain is busy; start a new game after its move");
  }
  // Between two brains the colours alternate from game to game, as in matches.
  if (watching) blackSeat = 1 - record.blackEngine;

  GameRecord fresh;
  fresh.number = record.number + 1;
  fresh.size = rules.size;
  fresh.blackEngine = blackSeat;
  fresh.names[0] = record.names[0];
  fresh.names[1] = record.names[1];
  record = std::move(fresh);
  board = GameBoard(rules.size);
  gameTime = GameTime();
  over = false;
  job = Job::kNewGame;
  changed();
  wake.notify_all();
  return {kOk, stateJson()};
}

PageAnswer LiveGame::move(const Json& request) {
  // Step 1. The request on its own: two whole numbers on the board.
  long long x = 0, y = 0;
  if (!wholeNumber(request, "x", x) || !wholeNumber(request, "y", y)) {
    return refused(kBadRequest, "give the square as whole numbers x and y, e.g. {\"x\":7,\"y\":7}");
  }
  if (!board.onBoard(static_cast<int>(std::clamp(x, -1LL, 1LL * rules.size)),
                     static_cast<int>(std::clamp(y, -1LL, 1LL * rules.size)))) {
    return refused(kBadRequest, squareText(x, y) + " is off the board; x and y go from 0 to " +
                                    std::to_string(rules.size - 1));
  }

  // Step 2. The moment: the person's turn in a running game, a free square.
  std::lock_guard<std::mutex> lock(mutex);
  if (watching) return refused(kConflict, "two brains are playing: this page only watches");
  if (over) return refused(kConflict, "the game is over: start a new game, or undo");
  if (starting()) return refused(kConflict, "wait: the brain is getting ready for the game");
  if (record.engineOfMove(record.moves.size()) != kPersonSeat) {
    return refused(kConflict, "not your turn: the brain is thinking");
  }
  const int cx = static_cast<int>(x), cy = static_cast<int>(y);
  if (board.at(cx, cy) != kEmpty) {
    return refused(kConflict, squareText(x, y) + " is taken: choose a free square");
  }

  // Step 3. Place and record the stone with the person's time; the worker
  // then asks the brain.
  const long long now = tools::nowMs();
  RecordedMove m;
  m.x = cx;
  m.y = cy;
  m.ms = now - turnStart;
  addStone(board, record, m);
  gameTime.used[kPersonSeat] += m.ms;
  record.slowest[kPersonSeat] = std::max(record.slowest[kPersonSeat], m.ms);
  over = stoneEndsGame(board, cx, cy, record);
  turnStart = now;
  changed();
  wake.notify_all();
  return {kOk, stateJson()};
}

PageAnswer LiveGame::undo() {
  std::lock_guard<std::mutex> lock(mutex);
  if (watching) return refused(kConflict, "undo is for games against the brain");
  if (brainBusy()) return refused(kConflict, "wait: the brain is busy");
  std::size_t cut = record.moves.size();
  while (cut > 0 && record.engineOfMove(cut - 1) != kPersonSeat) --cut;
  if (cut == 0) return refused(kConflict, "nothing to take back: you have no stone on the board");

  // Take back the person's last stone and the brain's answer to it, and
  // rebuild what depends on the moves; the brain gets START and then the
  // position with BOARD before its next move.
  record.moves.resize(cut - 1);
  // The brains' lines before the stones taken back go with them: the record
  // keeps what was said about the game as it now stands.
  std::erase_if(record.messages,
                [&](const EngineMessage& m) { return m.move > static_cast<int>(cut - 1); });
  board = GameBoard(rules.size);
  gameTime = GameTime();
  record.slowest[0] = record.slowest[1] = 0;
  for (std::size_t i = 0; i < record.moves.size(); ++i) {
    const RecordedMove& m = record.moves[i];
    const int player = record.engineOfMove(i);
    board.place(m.x, m.y, i % 2 == 0 ? kBlack : kWhite);
    gameTime.used[player] += m.ms;
    record.slowest[player] = std::max(record.slowest[player], m.ms);
  }
  record.winner = kNoWinner;
  record.reason = EndReason::kBoardFull;
  record.detail.clear();
  over = false;
  job = Job::kResync;
  changed();
  wake.notify_all();
  return {kOk, stateJson()};
}

std::string LiveGame::state(long long* stateVersion) const {
  std::lock_guard<std::mutex> lock(mutex);
  if (stateVersion != nullptr) *stateVersion = version;
  return stateJson();
}

bool LiveGame::recordText(bool sgf, std::string& text, std::string& fileName) {
  std::lock_guard<std::mutex> lock(mutex);
  if (!over) {
    text = jsonError("the game is not over yet: its record is written at its end");
    return false;
  }
  text = sgf ? sgfText(record) : psqText(record);
  fileName = psqFileName(record.number);
  if (sgf) fileName.replace(fileName.size() - 3, 3, "sgf");
  return true;
}

std::string LiveGame::stateJson() const {
  // Step 1. Who plays, and what is happening now.
  const int toMove = over ? -1 : record.engineOfMove(record.moves.size());
  const char* status = "turn";  // the person's
  if (over) {
    status = "over";
  } else if (starting()) {
    status = "starting";
  } else if (seats[toMove] != nullptr) {
    status = "thinking";
  }
  Json players = Json::array();
  for (int p = 0; p < 2; ++p) {
    players.push_back({{"name", record.names[p]}, {"brain", seats[p] != nullptr}});
  }
  Json out = {
      {"version", version},
      {"changedAt", changedAt},
      {"size", rules.size},
      {"game", record.number},
      {"watching", watching},
      {"turnMs", rules.turnMs},
      {"players", players},
      {"black", record.blackEngine},
      {"toMove", toMove},
      {"status", status},
      {"thinkingMs", activity == Activity::kThinking ? tools::nowMs() - busySince : 0},
  };

  // Step 2. The stones, in order, with the time each took.
  Json moves = Json::array();
  for (const RecordedMove& m : record.moves) moves.push_back({m.x, m.y, m.ms});
  out["moves"] = moves;

  // Step 3. The result, judged as in matches, and the winning row.
  out["over"] = over;
  out["winner"] = over ? record.winner : kNoWinner;
  out["reason"] = over ? reasonName(record.reason) : "";
  out["endCode"] = over ? endCode(record.reason) : -1;
  out["detail"] = over ? record.detail : "";
  Json five = Json::array();
  if (over && record.reason == EndReason::kFive) {
    const RecordedMove& last = record.moves.back();
    for (const auto& [x, y] : board.winningLine(last.x, last.y)) five.push_back({x, y});
  }
  out["five"] = five;

  // Step 4. The brains' newest MESSAGE, DEBUG and SUGGEST lines.
  Json messages = Json::array();
  const std::size_t total = record.messages.size();
  const std::size_t first = total > kMaxLoggedMessages ? total - kMaxLoggedMessages : 0;
  for (std::size_t i = first; i < total; ++i) {
    messages.push_back({record.messages[i].engine, record.messages[i].text});
  }
  out["messages"] = messages;
  return jsonText(out);
}

}  // namespace arena
