#include "referee.h"

#include <algorithm>
#include <cstdio>

#include "display.h"
#include "game_board.h"
#include "options.h"

namespace arena {

namespace {

std::string engineLabel(int engine) {
  return "engine " + std::to_string(engine + 1);
}

std::string square(int x, int y) {
  char text[32];
  std::snprintf(text, sizeof text, "(%d,%d)", x, y);
  return text;
}

void collectMessages(EngineSession& session, GameRecord& record) {
  const int move = static_cast<int>(record.moves.size()) + 1;
  for (std::string& line : session.infoLines) {
    record.messages.push_back({session.index, std::move(line), move});
  }
  session.infoLines.clear();
}

void lose(GameRecord& record, int loser, EndReason reason, const std::string& detail) {
  record.winner = 1 - loser;
  record.reason = reason;
  record.detail = engineLabel(loser) + " " + detail;
}

// The clock before a move, for the reason of a flag fall.
std::string clockText(long long clockMs, const MatchRules& rules) {
  return std::to_string(clockMs) + " ms on the clock + " + std::to_string(rules.toleranceMs) +
         " ms tolerance";
}

}  // namespace

bool setUpEngines(EngineSession* engines[2], GameRecord& record, const MatchRules& rules) {
  GameSettings settings;
  settings.size = rules.size;
  settings.turnMs = rules.turnMs;
  settings.matchMs = rules.clockMs > 0   ? rules.clockMs
                     : rules.matchMs > 0 ? rules.matchMs
                                         : kUnlimitedMatchMs;
  settings.maxMemory = rules.maxMemory;
  bool ok = true;
  for (int e : {record.blackEngine, 1 - record.blackEngine}) {
    if (engines[e] == nullptr) continue;
    SetupResult setup = engines[e]->prepareGame(settings);
    collectMessages(*engines[e], record);
    if (!setup.ok) {
      lose(record, e, setup.reason, setup.detail);
      ok = false;
      break;
    }
  }
  // The names after START: an engine's first start has just asked ABOUT.
  for (int e = 0; e < 2; ++e) {
    if (engines[e] != nullptr) record.names[e] = engines[e]->name;
  }
  return ok;
}

bool takeEngineStone(EngineSession& engine, GameBoard& board, GameRecord& record, GameTime& time,
                     const MatchRules& rules) {
  const int e = engine.index;
  const std::size_t moveIndex = record.moves.size();
  const int parity = static_cast<int>(moveIndex % 2);
  long long* used = time.used;
  long long* clock = time.clock;

  // Step 1. The time this move may take: the least of the turn time, the
  // rest of the match time and the clock, which says how it is lost.
  long long limit = rules.turnLimited ? rules.turnMs : kUnlimitedMatchMs;
  long long timeLeft = kUnlimitedMatchMs;
  EndReason bound = EndReason::kTurnTime;
  if (rules.matchMs > 0) {
    timeLeft = std::max(0LL, rules.matchMs - used[e]);
    if (timeLeft < limit) {
      limit = timeLeft;
      bound = EndReason::kMatchTime;
    }
  }
  const bool clockBound = rules.clockMs > 0 && clock[e] < limit;
  if (rules.clockMs > 0) {
    timeLeft = std::max(0LL, clock[e]);
    if (clockBound) {
      limit = clock[e];  // may be below 0 by an earlier overrun within the tolerance
      bound = EndReason::kMatchTime;
    }
  }
  const long long wait = limit + rules.toleranceMs;

  // Step 2. Ask, telling the engine its time left, and lose on a crash or
  // on silence.
  EngineReply reply =
      engine.requestMove(record.moves, parity, static_cast<int>(timeLeft), static_cast<int>(wait));
  collectMessages(engine, record);
  record.slowest[e] = std::max(record.slowest[e], reply.ms);
  used[e] += reply.ms;

  if (reply.status == ReplyStatus::kClosed) {
    lose(record, e, EndReason::kCrash, "crashed (" + engine.exitDescription() + ")");
    return false;
  }
  if (reply.status == ReplyStatus::kTimeout) {
    engine.abandon();  // it may still answer later: start it afresh
    const std::string within = "no reply within " + std::to_string(wait) + " ms";
    if (clockBound) {
      lose(record, e, bound,
           "ran out of its clock (" + within + ": " + clockText(clock[e], rules) + ")");
    } else {
      lose(record, e, bound,
           std::string(bound == EndReason::kMatchTime ? "exceeded the match time"
                                                      : "exceeded the turn time") +
               " (" + within + ")");
    }
    return false;
  }

  // Step 3. Judge the reply: its form, its time, its square.
  if (isErrorLine(reply.text)) {
    lose(record, e, EndReason::kErrorReply, "answered \"" + reply.text + "\"");
    return false;
  }
  int x = 0, y = 0;
  if (!parseMoveReply(reply.text, x, y)) {
    lose(record, e, EndReason::kNotAMove, "answered \"" + reply.text + "\", which is not a move");
    return false;
  }
  if (rules.turnLimited && reply.ms > rules.turnMs + rules.toleranceMs) {
    lose(record, e, EndReason::kTurnTime,
         "exceeded the turn time (reply after " + std::to_string(reply.ms) + " ms)");
    return false;
  }
  if (rules.matchMs > 0 && used[e] > rules.matchMs + rules.toleranceMs) {
    lose(record, e, EndReason::kMatchTime,
         "exceeded the match time (" + std::to_string(used[e]) + " ms used)");
    return false;
  }
  if (rules.clockMs > 0 && clock[e] - reply.ms < -rules.toleranceMs) {
    lose(record, e, EndReason::kMatchTime,
         "ran out of its clock (reply after " + std::to_string(reply.ms) +
             " ms: " + clockText(clock[e], rules) + ")");
    return false;
  }
  if (rules.clockMs > 0) clock[e] += rules.incrementMs - reply.ms;
  if (!board.onBoard(x, y)) {
    lose(record, e, EndReason::kIllegalMove, "played off the board " + square(x, y));
    return false;
  }
  if (board.at(x, y) != kEmpty) {
    lose(record, e, EndReason::kIllegalMove, "played on an occupied square " + square(x, y));
    return false;
  }

  // Step 4. Place and record the stone.
  RecordedMove m;
  m.x = x;
  m.y = y;
  m.ms = reply.ms;
  addStone(board, record, m);
  engine.moveAccepted(static_cast<int>(record.moves.size()));
  return true;
}

void addStone(GameBoard& board, GameRecord& record, const RecordedMove& stone) {
  board.place(stone.x, stone.y, record.moves.size() % 2 == 0 ? kBlack : kWhite);
  record.moves.push_back(stone);
}

bool stoneEndsGame(const GameBoard& board, int x, int y, GameRecord& record) {
  if (board.makesFive(x, y)) {
    record.winner = record.engineOfMove(record.moves.size() - 1);
    record.reason = EndReason::kFive;
    record.detail = "five in a row";
    return true;
  }
  if (board.full()) {
    record.winner = kNoWinner;
    record.reason = EndReason::kBoardFull;
    record.detail = "board full";
    return true;
  }
  return false;
}

GameRecord playGame(EngineSession* engines[2], int number, int blackEngine, const Opening* opening,
                    const MatchRules& rules) {
  GameRecord record;
  record.number = number;
  record.size = rules.size;
  record.blackEngine = blackEngine;

  // Step 1. Set the game up on both engines, black first.
  if (!setUpEngines(engines, record, rules)) return record;

  // Step 2. Place the opening: stones alternate from black, centred.
  GameBoard board(rules.size);
  if (opening != nullptr) {
    const int centre = rules.size / 2;
    for (const Offset& o : opening->stones) {
      RecordedMove m;
      m.x = centre + o.dx;
      m.y = centre + o.dy;
      m.opening = true;
      addStone(board, record, m);
    }
    if (rules.show && !record.moves.empty()) {
      std::printf("%s", boardText(board, record.moves.back().x, record.moves.back().y).c_str());
    }
  }

  // Step 3. Ask for one stone after another and judge each reply.
  GameTime time;
  time.clock[0] = time.clock[1] = rules.clockMs;
  for (;;) {
    if (board.full()) {
      record.winner = kNoWinner;
      record.reason = EndReason::kBoardFull;
      record.detail = "board full";
      return record;
    }
    const int e = record.engineOfMove(record.moves.size());
    if (!takeEngineStone(*engines[e], board, record, time, rules)) return record;
    const RecordedMove& m = record.moves.back();
    if (rules.show) {
      std::printf("\nGame %d, move %zu: %s plays %d,%d (%lld ms)\n", number, record.moves.size(),
                  record.moves.size() % 2 == 1 ? "X" : "O", m.x, m.y, m.ms);
      std::printf("%s", boardText(board, m.x, m.y).c_str());
      std::fflush(stdout);
    }
    if (stoneEndsGame(board, m.x, m.y, record)) return record;
  }
}

}  // namespace arena
