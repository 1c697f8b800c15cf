#include "serve_game.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>
#include <utility>

#include "child_process.h"
#include "options.h"
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
    case EndReason::kResigned:
      return "resigned";
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

// The stones a new game begins with: a list of squares [x,y] on a board of
// `size`, each free, none making five, not filling the board. An empty
// string, or why the list is refused.
std::string readStones(const Json& list, int size, std::vector<RecordedMove>& stones) {
  if (!list.is_array()) return "moves must be a list of squares [x,y], e.g. [[7,7],[8,8]]";
  if (list.size() >= static_cast<std::size_t>(size) * size) {
    return "the moves fill the board: nothing is left to play";
  }
  GameBoard board(size);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Json& square = list[i];
    const std::string number = "move " + std::to_string(i + 1);
    long long xy[2] = {0, 0};
    const bool read = square.is_array() && square.size() == 2 &&
                      wholeNumber(Json{{"x", square[0]}}, "x", xy[0]) &&
                      wholeNumber(Json{{"y", square[1]}}, "y", xy[1]);
    if (!read) return number + " is not a square [x,y] of whole numbers";
    const auto on = [size](long long v) {
      return static_cast<int>(std::clamp(v, -1LL, 1LL * size));
    };
    if (!board.onBoard(on(xy[0]), on(xy[1]))) {
      return number + " " + squareText(xy[0], xy[1]) + " is off the board";
    }
    const int x = on(xy[0]), y = on(xy[1]);
    if (board.at(x, y) != kEmpty) return number + " " + squareText(x, y) + " is on a taken square";
    board.place(x, y, i % 2 == 0 ? kBlack : kWhite);
    if (board.makesFive(x, y)) {
      return number + " " + squareText(x, y) + " makes five in a row: play on from before it";
    }
    RecordedMove m;
    m.x = x;
    m.y = y;
    m.opening = true;
    stones.push_back(m);
  }
  return "";
}

Json squareJson(int x, int y) {
  return Json::array({x, y});
}

}  // namespace

LiveGame::LiveGame(std::vector<EngineSession*> engines, const MatchRules& rules,
                   std::string hintFolder, std::vector<std::string> hintInfo)
    : sessions(std::move(engines)),
      hintFolder(std::move(hintFolder)),
      hintInfo(std::move(hintInfo)),
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
  if (hintBrain) hintBrain->finish();
}

void LiveGame::beginTurn(long long now) {
  turnStart = now;
  turnStartedAt = wallClockMs();
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

const char* LiveGame::busyReason(const char* brainThinking) const {
  if (starting()) return "wait: the brain is getting ready for the game";
  if (activity == Activity::kHinting || job == Job::kHint) return "wait: the hint is on its way";
  return brainBusy() ? brainThinking : nullptr;
}

long long LiveGame::undoCut() const {
  if (watching) return -1;
  std::size_t cut = record.moves.size();
  while (cut > 0 && !record.moves[cut - 1].opening && record.engineOfMove(cut - 1) != kPersonSeat) {
    --cut;
  }
  if (cut == 0 || record.moves[cut - 1].opening) return -1;
  return static_cast<long long>(cut - 1);
}

void LiveGame::run() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    wake.wait(lock, [this] { return stopping || job != Job::kNone || brainToMove(); });
    if (stopping) return;
    if (job == Job::kHint) {
      findHint(lock);
    } else if (job != Job::kNone) {
      setUpBrains(lock);
    } else {
      playBrainMove(lock);
    }
  }
}

void LiveGame::setUpBrains(std::unique_lock<std::mutex>& lock) {
  // Step 1. Take the job and copies of the record and the settings; pages
  // see "starting".
  job = Job::kNone;
  activity = Activity::kStarting;
  busySince = tools::nowMs();
  GameRecord copy = record;
  const MatchRules gameRules = rules;
  const bool withHelp = help;
  changed();
  lock.unlock();

  // Step 2. START and the settings on each brain, as before every match
  // game, and whether it says what it thinks; after an undo, or in a game
  // that begins with stones, the brain then gets the position with BOARD.
  const bool ok = setUpEngines(seats, copy, gameRules);
  for (EngineSession* seat : seats) {
    if (ok && seat != nullptr) seat->sendInfo(withHelp ? "show_detail 1" : "show_detail 0");
  }

  // Step 3. Publish: a brain that failed to start the game has lost it.
  lock.lock();
  record = std::move(copy);
  activity = Activity::kIdle;
  over = !ok;
  beginTurn(tools::nowMs());
  changed();
}

void LiveGame::listenToSearch(EngineSession& engine, long long began, int size) {
  engine.onInfoLine = [this, began, size](const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex);
    if (epoch == began && search.active && readSearchLine(line, size, search.report)) changed();
  };
}

void LiveGame::playBrainMove(std::unique_lock<std::mutex>& lock) {
  // Step 1. Work on copies, so that pages read the state while the brain
  // thinks; nothing else changes the game while the worker is active but a
  // resignation, which moves the epoch on.
  const int player = record.engineOfMove(record.moves.size());
  EngineSession& engine = *seats[player];
  GameRecord copy = record;
  GameBoard position = board;
  GameTime time = gameTime;
  const MatchRules gameRules = rules;
  const long long began = epoch;
  const bool withHelp = help;
  if (withHelp) {
    search = Search();
    search.active = true;
    search.player = player;
    search.stones = record.moves.size();
  }
  activity = Activity::kThinking;
  busySince = tools::nowMs();
  changed();
  lock.unlock();

  // Step 2. Ask for the stone, reading the brain's search as it goes, and
  // judge the stone as every match game does.
  if (withHelp) listenToSearch(engine, began, gameRules.size);
  bool ended = !takeEngineStone(engine, position, copy, time, gameRules);
  engine.onInfoLine = nullptr;
  if (!ended) {
    const RecordedMove& m = copy.moves.back();
    ended = stoneEndsGame(position, m.x, m.y, copy);
  }

  // Step 3. Publish the stone, or the end of the game; after a
  // resignation the brain's answer has come too late.
  lock.lock();
  activity = Activity::kIdle;
  if (epoch == began) {
    record = std::move(copy);
    board = std::move(position);
    gameTime = time;
    over = ended;
    beginTurn(tools::nowMs());
    search.active = false;
  }
  changed();
}

void LiveGame::findHint(std::unique_lock<std::mutex>& lock) {
  // Step 1. The position and the person's colour; pages see "hint" and
  // the hint brain's search.
  job = Job::kNone;
  activity = Activity::kHinting;
  busySince = tools::nowMs();
  const std::vector<RecordedMove> moves = record.moves;
  const GameBoard position = board;
  const MatchRules gameRules = rules;
  const int personParity = record.blackEngine == kPersonSeat ? 0 : 1;
  const long long began = epoch;
  search = Search();
  search.active = true;
  search.player = kPersonSeat;
  search.hint = true;
  search.stones = moves.size();
  changed();
  lock.unlock();

  // Step 2. Ask the hint brain.
  Hint found = askHintBrain(moves, personParity, gameRules, began);
  if (found.given &&
      (!position.onBoard(found.x, found.y) || position.at(found.x, found.y) != kEmpty)) {
    found.given = false;
    found.error = "the hint brain chose " + squareText(found.x, found.y) + ", which is not free";
  }

  // Step 3. Publish, unless the person has resigned meanwhile.
  lock.lock();
  activity = Activity::kIdle;
  if (epoch == began) {
    found.stones = moves.size();
    lastHint = found;
    search.active = false;
  }
  changed();
}

LiveGame::Hint LiveGame::askHintBrain(const std::vector<RecordedMove>& moves, int personParity,
                                      const MatchRules& gameRules, long long began) {
  // Step 1. The hint brain, started at the first hint, begins a game of
  // this size each time: the position then comes whole with BOARD (or
  // BEGIN on an empty board), its own stones the person's.
  Hint hint;
  if (!hintBrain) {
    hintBrain = std::make_unique<EngineSession>(kPersonSeat, seats[0]->command, hintFolder, false,
                                                hintInfo);
  }
  EngineSession& brain = *hintBrain;
  if (!brain.ensureRunning()) {
    hint.error = "the hint brain could not be started";
    return hint;
  }
  GameSettings settings;
  settings.size = gameRules.size;
  settings.turnMs = gameRules.turnMs;
  settings.matchMs = kUnlimitedMatchMs;
  settings.maxMemory = gameRules.maxMemory;
  const SetupResult setup = brain.prepareGame(settings);
  brain.infoLines.clear();
  if (!setup.ok) {
    hint.error = "the hint brain " + setup.detail;
    return hint;
  }
  brain.sendInfo("show_detail 1");

  // Step 2. Its move, in the game's time a move, its search read live.
  listenToSearch(brain, began, gameRules.size);
  const int wait = gameRules.turnMs + gameRules.toleranceMs;
  const EngineReply reply = brain.requestMove(moves, personParity, kUnlimitedMatchMs, wait);
  brain.onInfoLine = nullptr;
  brain.infoLines.clear();
  if (reply.status == ReplyStatus::kClosed) {
    hint.error = "the hint brain ended (" + brain.exitDescription() + ")";
  } else if (reply.status == ReplyStatus::kTimeout) {
    brain.abandon();  // it may still answer: a fresh one for the next hint
    hint.error = "the hint brain found nothing within " + std::to_string(wait) + " ms";
  } else if (!parseMoveReply(reply.text, hint.x, hint.y)) {
    hint.error = "the hint brain answered \"" + reply.text + "\", which is not a move";
  } else {
    hint.given = true;
  }
  return hint;
}

PageAnswer LiveGame::newGame(const Json& request) {
  // Step 1. The request on its own: the fields it gives, each checked.
  std::optional<int> blackSeat;
  auto colour = request.find("colour");
  if (!watching && colour != request.end()) {
    if (*colour != "black" && *colour != "white") {
      return refused(kBadRequest, "colour must be \"black\" or \"white\"");
    }
    blackSeat = *colour == "black" ? kPersonSeat : 1 - kPersonSeat;
  }
  long long size = 0, turnMs = 0;
  const bool sizeGiven = request.contains("size");
  if (sizeGiven && (!wholeNumber(request, "size", size) || size < kMinSize || size > kMaxSize)) {
    return refused(kBadRequest, "size must be a whole number from " + std::to_string(kMinSize) +
                                    " to " + std::to_string(kMaxSize));
  }
  const bool turnGiven = request.contains("turnMs");
  if (turnGiven && (!wholeNumber(request, "turnMs", turnMs) || turnMs < kMinPageTurnMs ||
                    turnMs > kMaxPageTurnMs)) {
    return refused(kBadRequest, "turnMs must be a whole number of milliseconds from " +
                                    std::to_string(kMinPageTurnMs) + " to " +
                                    std::to_string(kMaxPageTurnMs));
  }
  auto helpField = request.find("help");
  if (helpField != request.end() && !helpField->is_boolean()) {
    return refused(kBadRequest, "help must be true or false");
  }

  std::lock_guard<std::mutex> lock(mutex);
  // Step 2. The moment: a game against the brain may be replaced when the
  // brain is not on move; a finished one at any time.
  if (watching && !over) return refused(kConflict, "the brains' game is still running");
  if (!over) {
    if (const char* why = busyReason("wait: the brain is busy; start a new game after its move")) {
      return refused(kConflict, why);
    }
  }
  // What the request leaves out stays as in the game before.
  const int gameSize = sizeGiven ? static_cast<int>(size) : rules.size;
  std::vector<RecordedMove> stones;
  auto movesField = request.find("moves");
  if (movesField != request.end()) {
    const std::string error = readStones(*movesField, gameSize, stones);
    if (!error.empty()) return refused(kBadRequest, error);
  }

  // Step 3. The new game. Between two brains the colours alternate from
  // game to game, as in matches.
  rules.size = gameSize;
  if (turnGiven) rules.turnMs = static_cast<int>(turnMs);
  if (helpField != request.end()) help = helpField->get<bool>();
  GameRecord fresh;
  fresh.number = record.number + 1;
  fresh.size = gameSize;
  fresh.blackEngine = watching ? 1 - record.blackEngine : blackSeat.value_or(record.blackEngine);
  fresh.names[0] = record.names[0];
  fresh.names[1] = record.names[1];
  record = std::move(fresh);
  board = GameBoard(gameSize);
  for (const RecordedMove& m : stones) addStone(board, record, m);
  gameTime = GameTime();
  over = false;
  search = Search();
  lastHint = Hint();
  if (activity != Activity::kIdle) ++epoch;  // what the worker finds now is for the old game
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

  // Step 2. The moment: the person's turn in a running game, a free square.
  std::lock_guard<std::mutex> lock(mutex);
  if (!board.onBoard(static_cast<int>(std::clamp(x, -1LL, 1LL * rules.size)),
                     static_cast<int>(std::clamp(y, -1LL, 1LL * rules.size)))) {
    return refused(kBadRequest, squareText(x, y) + " is off the board; x and y go from 0 to " +
                                    std::to_string(rules.size - 1));
  }
  if (watching) return refused(kConflict, "two brains are playing: this page only watches");
  if (over) return refused(kConflict, "the game is over: start a new game, or undo");
  if (const char* why = busyReason("not your turn: the brain is thinking")) {
    return refused(kConflict, why);
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
  beginTurn(now);
  changed();
  wake.notify_all();
  return {kOk, stateJson()};
}

PageAnswer LiveGame::undo() {
  std::lock_guard<std::mutex> lock(mutex);
  if (watching) return refused(kConflict, "undo is for games against the brain");
  if (const char* why = busyReason("wait: the brain is busy")) return refused(kConflict, why);
  const long long cut = undoCut();
  if (cut < 0) {
    const bool fromPosition = !record.moves.empty() && record.moves.front().opening;
    return refused(kConflict, fromPosition
                                  ? "nothing to take back: you have no stone on the board "
                                    "since the position the game began from"
                                  : "nothing to take back: you have no stone on the board");
  }

  // Take back the person's last stone and the brain's answer to it, and
  // rebuild what depends on the moves; the brain gets START and then the
  // position with BOARD before its next move.
  record.moves.resize(static_cast<std::size_t>(cut));
  // The brains' lines before the stones taken back go with them: the record
  // keeps what was said about the game as it now stands.
  std::erase_if(record.messages,
                [&](const EngineMessage& m) { return m.move > static_cast<int>(cut); });
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
  search = Search();
  lastHint = Hint();
  job = Job::kResync;
  changed();
  wake.notify_all();
  return {kOk, stateJson()};
}

PageAnswer LiveGame::resign() {
  std::lock_guard<std::mutex> lock(mutex);
  if (watching) return refused(kConflict, "two brains are playing: this page only watches");
  if (over) return refused(kConflict, "the game is over: start a new game, or undo");
  if (starting()) return refused(kConflict, "wait: the brain is getting ready for the game");
  // At any moment of the game, also while the brain thinks or a hint is
  // found: what the worker brings back then is dropped.
  record.winner = 1 - kPersonSeat;
  record.reason = EndReason::kResigned;
  record.detail = "engine " + std::to_string(kPersonSeat + 1) + " resigned";
  over = true;
  search.active = false;
  if (activity != Activity::kIdle) ++epoch;
  changed();
  return {kOk, stateJson()};
}

PageAnswer LiveGame::hint() {
  std::lock_guard<std::mutex> lock(mutex);
  if (watching) return refused(kConflict, "hints are for games against the brain");
  if (!help)
    return refused(kConflict, "help is off in this game: start a new game with help for hints");
  if (over) return refused(kConflict, "the game is over: start a new game, or undo");
  if (const char* why = busyReason("not your turn: the brain is thinking")) {
    return refused(kConflict, why);
  }
  // The hint for this position is there already.
  if (lastHint.given && lastHint.stones == record.moves.size()) return {kOk, stateJson()};
  job = Job::kHint;
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
  } else if (activity == Activity::kHinting || job == Job::kHint) {
    status = "hint";
  } else if (seats[toMove] != nullptr) {
    status = "thinking";
  }
  Json players = Json::array();
  for (int p = 0; p < 2; ++p) {
    players.push_back({{"name", record.names[p]}, {"brain", seats[p] != nullptr}});
  }
  const long long now = tools::nowMs();
  const bool working = activity == Activity::kThinking || activity == Activity::kHinting;
  std::size_t openingStones = 0;
  while (openingStones < record.moves.size() && record.moves[openingStones].opening) {
    ++openingStones;
  }
  Json out = {
      {"version", version},
      {"changedAt", changedAt},
      {"size", rules.size},
      {"game", record.number},
      {"watching", watching},
      {"turnMs", rules.turnMs},
      {"help", help},
      {"players", players},
      {"black", record.blackEngine},
      {"toMove", toMove},
      {"status", status},
      {"thinkingMs", working && !over ? now - busySince : 0},
      {"usedMs", Json::array({gameTime.used[0], gameTime.used[1]})},
      {"turnStartedAt", over || starting() ? 0 : turnStartedAt},
      {"canUndo", undoCut() >= 0},
      {"openingStones", openingStones},
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

  // Step 4. Help: the newest search, and the newest hint.
  Json analysis = nullptr;
  const SearchReport& r = search.report;
  if (help && (search.active || r.depth > 0 || r.chosen)) {
    Json pv = Json::array();
    for (const auto& [x, y] : r.pv) pv.push_back(squareJson(x, y));
    analysis = {
        {"player", search.player},
        {"hint", search.hint},
        {"active", search.active},
        {"stones", search.stones},
        {"depth", r.depth},
        {"score", r.depth > 0 && r.proof == Proof::kNone ? Json(r.score) : Json(nullptr)},
        {"winIn", r.proof == Proof::kWin ? Json(r.plies) : Json(nullptr)},
        {"lossIn", r.proof == Proof::kLoss ? Json(r.plies) : Json(nullptr)},
        {"nodes", r.nodes},
        {"nps", r.nps},
        {"timeMs", r.timeMs},
        {"pv", pv},
        {"best", r.chosen ? squareJson(r.bestX, r.bestY) : Json(nullptr)},
        {"by", r.chosen ? Json(r.by) : Json(nullptr)},
    };
  }
  out["analysis"] = analysis;
  Json hintJson = nullptr;
  // A hint is for the position it was found in, and only for that.
  if (help && (lastHint.given || !lastHint.error.empty()) &&
      lastHint.stones == record.moves.size()) {
    hintJson = {{"stones", lastHint.stones}};
    if (lastHint.given) {
      hintJson["square"] = squareJson(lastHint.x, lastHint.y);
    } else {
      hintJson["error"] = lastHint.error;
    }
  }
  out["hint"] = hintJson;

  // Step 5. The brains' newest MESSAGE, DEBUG and SUGGEST lines.
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
