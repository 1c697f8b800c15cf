// The brain as a manager sees it, over pipes, from the real pbrain-velmaro
// executable: conversations with their exact replies, a whole game, the
// log, the data folders, and the manager's limits (its clock, END at once,
// memory, a closed output). Times are checked with bounds generous enough for
// a busy machine.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "brain_driver.h"

namespace {

using namespace testing_support;
using std::string;

constexpr long kMemoryFileSize = 358540;
// How soon the brain must be gone after end of input while it thinks. Under
// ThreadSanitizer the exit itself, with the worker still searching, takes
// 2 to 4 s of the sanitizer's own finalisation.
#if defined(__SANITIZE_THREAD__)
constexpr int kPromptExitMs = 10000;
#else
constexpr int kPromptExitMs = 5000;
#endif

// How much later than its limit a reply may come on a busy machine, and how
// soon END must stop a decision (the command loop waits for the move).
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__) || defined(VELMARO_WINE)
constexpr int kTurnSlackMs = 2000;
constexpr int kPromptEndMs = 5000;
#else
constexpr int kTurnSlackMs = 500;
constexpr int kPromptEndMs = 1000;
#endif

const string kBegin15 = "> START 15|OK|> BEGIN|MESSAGE creating player|7,7|";
const string kEnd = "> END|OK|<exit>";
const string kBadBoardLine = "ERROR x,y,who or DONE expected after BOARD|";

// The engine searching the quiet position for up to turnMs.
string thinking(int turnMs) {
  return "> INFO timeout_turn " + std::to_string(turnMs) + "|> START 20|OK|" + kQuietBoard +
         "|MESSAGE creating player|";
}

string times(int n, const string& steps) {
  string all;
  for (int i = 0; i < n; i++) all += steps + "|";
  return all;
}

struct Conversation {
  const char* name;
  string steps;
};

void PrintTo(const Conversation& c, std::ostream* out) {
  *out << c.name;
}

const Conversation kConversations[] = {
    {"StartAndBoardSizes",
     "> start 4|ERROR bad START parameter|> START x|ERROR bad START parameter|"
     "> RECTSTART 15 ,15|OK|> RECTSTART 15,4|ERROR bad RECTSTART parameters|> RECTSTART 15|"
     "ERROR bad RECTSTART parameters|" +
         kBegin15 +
         // Boards the engine cannot play are refused, and the game goes on.
         "> START 21|ERROR size of the board|> RECTSTART 20,19|ERROR size of the board|"
         "> RECTSTART 21 ,21|ERROR size of the board|> START 99999999999999999999|"
         "ERROR size of the board|> PLAY 7,7|ERROR bad coordinates|> TURN 14,14|<move 15>|" +
         kEnd},
    {"SettingsInOrder",
     "> INFO timeout_turn -1|> INFO timeout_match -1|> START 15|"
     "ERROR time for one turn in milliseconds|> INFO timeout_turn 5000|> START 15|"
     "ERROR total time for a game|> INFO timeout_match 100000|> INFO time_left -5|> START 15|"
     "ERROR remaining time for a game|> INFO time_left 5|> INFO max_memory -1|> START 15|"
     "ERROR maximum memory in bytes, zero if unlimited|> INFO max_memory 0|"
     "> INFO game_type -1|> START 15|ERROR unsupported game type -1|> INFO game_type 4|"
     "> START 15|ERROR unsupported game type 4|> INFO game_type 0|> START 15|OK|"
     "> INFO game_type 3|> START 15|OK"},
    // INFO is answered only for a rule the brain does not play (see
    // kRules); lines are kept whole up to 4096 characters.
    {"InfoAndUnknownLines",
     "> INFO timeout_turn 5000|> INFO TIMEOUT_TURN|> INFO evaluate 3,4|> info|<silent>|> |"
     "UNKNOWN command|>    |UNKNOWN command|> HELLO|UNKNOWN command|> about|" +
         string(kAboutText) + "|> About|" + kAboutText + "|> ABOUTX|" + kAboutText + "|> " +
         string(255, 'a') + "ABOUT|UNKNOWN command|> START 15" + string(292, ' ') + "|OK|<silent>"},
    {"CarriageReturns", "> START 15\r|OK|> BOARD\r|> DONE\r|MESSAGE creating player|7,7"},
    {"TurnWithoutStartPlaysOnTwenty",
     "> INFO timeout_turn 500|> TURN 3,4|OK|MESSAGE creating player|<move 20>|> TURN 19,19|"
     "<move 20>"},
    // Stones off the board or on a taken square are refused, hundreds of
    // them too (they once overran the engine's records), and the game goes on.
    {"CoordinatesAndTakenSquares",
     "> INFO timeout_turn 300|> START 15|OK|> TURN 15,0|ERROR bad coordinates|> TURN -1,3|"
     "ERROR bad coordinates|> TURN 3 ,4|ERROR bad coordinates|> TURN 3|ERROR bad coordinates|"
     "> TURN|ERROR bad coordinates|> PLAY 0,15|ERROR bad coordinates|> PLAY 7,7|"
     "MESSAGE creating player|7,7|> TURN 7,7|ERROR bad coordinates|> TURN 14,14 and more|"
     "<move 15>|> TAKEBACK 1,1|ERROR takeback not supported|UNKNOWN|> TAKEBACK 99,99|"
     "ERROR bad coordinates|" +
         times(450, "> PLAY 7,7|ERROR bad coordinates") + "> TURN 0,0|<move 15>|" + kEnd},
    // The stones are played in the order given: the brain's own open four
    // (5..8,5) is completed where its last stone made five first.
    {"BoardStonesInOrder",
     "> START 15|OK|> BOARD|> 5,5,1|> 0,0,2|> 6,5,1|> 0,2,2|> 7,5,1|> 0,4,2|> 8,5,1|> 3,3,3|"
     "> 0,6,2|> done|MESSAGE creating player|ERROR blocking not supported|9,5"},
    // A bad line ends the board, the engine still moves on what it has, and
    // the lines after it are commands, answered while it computes.
    {"BadBoardLine", "> START 15|OK|> BOARD|> 30,30,1|> DONE|" + kBadBoardLine +
                         "{MESSAGE creating player/7,7/UNKNOWN command}"},
    {"BoardLineOnATakenSquare",
     "> START 15|OK|> BOARD|> 3,3,1|> 3,3,2|> 4,4,2|> done|MESSAGE creating player|" +
         kBadBoardLine + "{<move 15>/UNKNOWN command/UNKNOWN command}"},
    // The player keeps the size it was created with: a rejected START, the
    // implicit 20x20 start after it, or a START refused for its game type
    // change the settings alone, and stones off the player's board are refused.
    {"StonesOffThePlayersBoard",
     "> INFO timeout_turn 300|> START 15|OK|> TURN 1,1|MESSAGE creating player|<move 15>|"
     "> START 4|ERROR bad START parameter|> TURN 19,19|OK|ERROR bad coordinates|> INFO rule 1|"
     "ERROR unsupported game type exact 5|> START 20|ERROR unsupported game type exact 5|"
     "> PLAY 15,3|ERROR bad coordinates|> TURN 14,14|<move 15>"},
    {"RestartBeginsAnEmptyGame",
     "> START 15|OK|> RESTART|OK|> BEGIN|MESSAGE creating player|7,7|> RESTART|"
     "MESSAGE restarting player|OK|> BEGIN|7,7"},
    // START alone begins a new, empty game; another size ends the player
    // (its memory is written) and the next game creates a new one.
    {"StartBeginsANewGame", kBegin15 +
                                "> START 15|OK|> BEGIN|7,7|> START 19|OK|> BEGIN|"
                                "MESSAGE creating player|<size velmaro/velmDat.0 358540>|9,9|" +
                                kEnd},
    {"ARejectedStartDoesNotStopTheGame",
     "> INFO game_type 7|> START 15|ERROR unsupported game type 7|> BEGIN|"
     "MESSAGE creating player|7,7"},
    {"EndWritesTheMemory", kBegin15 +
                               "> END|OK|<eof>|<exit>|<size velmaro/velmDat.0 358540>|"
                               "<size velmaro/velmaro.log 0>|<size velmaro/velmDat.0.tmp -1>"},
    {"EndBeforeAnyStone", "> END|ERROR ending a non inited player|<exit>"},
    // End of input ends the brain at once, inside a board or while it
    // thinks; only END writes the memory.
    {"EndOfInputInsideBoard",
     "> START 15|OK|> BOARD|> 7,7,1|<close>|MESSAGE creating player|<eof>|<exit>|"
     "<size velmaro/velmDat.0 -1>"},
    {"EndOfInputWhileThinking",
     thinking(20000) + "<close>|<exit " + std::to_string(kPromptExitMs) + ">"},
    // While the worker computes, INFO, ABOUT and unknown lines are answered
    // at once; TURN, RESTART and START wait for the move.
    {"CommandsWhileThinking",
     thinking(1500) +
         "> INFO time_left 100000|> HELLO|UNKNOWN command|> INFO timeout_turn 800|> about|" +
         kAboutText +
         "|> |UNKNOWN command|> TURN 0,19|<move 20>|> RESTART|<move 20>|"
         "MESSAGE restarting player|OK|" +
         kQuietBoard + "|> START 20|<move 20>|OK|> BEGIN|10,10"},
#ifndef VELMARO_WINE
    {"AnEmptyFolderMeansTheWorkingFolder",
     "> INFO folder |" + kBegin15 + "<size velmaro/velmaro.log 0>"},
#endif
};

class Brain : public ::testing::Test {
 protected:
  TempFolder temp;
  BrainDriver brain{VELMARO_BRAIN, temp.path()};

  void SetUp() override { brain.send("INFO folder " + brainPath(temp.path())); }
  void run(const string& steps) { brain.run(steps, brainPath(temp.path())); }
  // Milliseconds from the quiet position's BOARD to the move that answers it.
  long long quietMove() {
    const long long start = tools::nowMs();
    run(kQuietBoard);
    string reply = brain.next();
    while (reply.rfind("MESSAGE", 0) == 0) reply = brain.next();
    EXPECT_TRUE(isMove(reply, 20)) << reply;
    return tools::nowMs() - start;
  }
  void playWholeGame(const string& settings);
};

class Script : public Brain, public ::testing::WithParamInterface<Conversation> {};

TEST_P(Script, Replies) {
  run(GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(Protocol, Script, ::testing::ValuesIn(kConversations),
                         [](const auto& info) { return string(info.param.name); });

// INFO rule, whenever it comes: the brain plays free-style (0) only, and
// refuses any other rule at once with one ERROR line, which START then
// answers too. Managers announce the rule before START (Piskvork) or after
// its OK (c-gomoku-cli), and may do so between moves; the game and the
// player stay as they are.
struct RuleCase {
  const char* name;
  const char* value;
  string refusal;  // empty: a rule the brain plays, taken in silence
};

void PrintTo(const RuleCase& c, std::ostream* out) {
  *out << "INFO rule " << c.value;
}

const string kExactFive = "ERROR unsupported game type exact 5";
const string kContinuous = "ERROR unsupported game type continuous";
const string kRenju = "ERROR unsupported game type renju";
const string kCaro = "ERROR unsupported game type caro";

const RuleCase kRules[] = {
    {"FreeStyle", "0", ""},
    {"ExactFive", "1", kExactFive},
    {"Continuous", "2", kContinuous},
    {"Renju", "4", kRenju},
    {"Caro", "8", kCaro},
    // Several rules: one line, for the first of exact five, renju,
    // continuous and caro.
    {"ExactFiveAndContinuous", "3", kExactFive},
    {"RenjuAndContinuous", "6", kRenju},
    {"ContinuousAndCaro", "10", kContinuous},
    {"RenjuAndCaro", "12", kRenju},
    {"AllFourRules", "15", kExactFive},
    // Bits above 8 name no rule.
    {"UndefinedBit", "16", ""},
    {"ExactFiveAndAnUndefinedBit", "17", kExactFive},
};

// The rule announced before START, after it, between moves and while the
// engine thinks. The stones already played (10,10 is taken in both games)
// and the absence of "MESSAGE creating player" show that the game and the
// player were kept.
string ruleConversation(const RuleCase& c) {
  const bool refused = !c.refusal.empty();
  const string info = "> INFO rule " + string(c.value) + "|";
  const string announced = info + (refused ? c.refusal + "|" : "");
  const string start = "> START 20|" + (refused ? c.refusal : "OK") + "|";
  return "> INFO timeout_turn 300|" + announced + start + "> INFO rule 0|> START 20|OK|" +
         announced + "> BEGIN|MESSAGE creating player|10,10|" + announced +
         "> TURN 10,10|ERROR bad coordinates|> TURN 0,0|<move 20>|"
         "> RESTART|MESSAGE restarting player|OK|" +
         kQuietBoard + "|" + info + (refused ? "{<move 20>/" + c.refusal + "}" : "<move 20>") +
         "|> TURN 10,10|ERROR bad coordinates|> TURN 0,19|<move 20>|" + start + "<silent>";
}

class Rule : public Brain, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(Rule, Replies) {
  run(ruleConversation(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Protocol, Rule, ::testing::ValuesIn(kRules),
                         [](const auto& info) { return string(info.param.name); });

// Whether the stone at x,y is in a row of five or more of the stones that
// `own` says are of its side.
bool fiveThrough(int x, int y, const std::function<bool(int, int)>& own) {
  const int steps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
  for (const auto& d : steps) {
    int run = 1;
    for (int sign : {1, -1})
      for (int k = 1; own(x + sign * k * d[0], y + sign * k * d[1]); k++) run++;
    if (run >= 5) return true;
  }
  return false;
}

// A whole game against a simple opponent (the first empty square in index
// order), under the INFO lines `settings`: every reply is an empty square,
// a five is played whenever the brain has one, and the game ends with a
// five or a full board.
void Brain::playWholeGame(const string& settings) {
  constexpr int kSize = 10;
  run(settings +
      "> INFO timeout_turn 200|> INFO timeout_match 60000|> START 10|OK|> BEGIN|"
      "MESSAGE creating player");
  int board[kSize][kSize] = {};  // 0 empty, 1 the brain, 2 the opponent
  auto fiveAt = [&](int x, int y) {
    return fiveThrough(x, y, [&](int a, int b) {
      return a >= 0 && b >= 0 && a < kSize && b < kSize && board[a][b] == board[x][y];
    });
  };
  // Whether the brain has an empty square that makes its five.
  auto canWin = [&] {
    for (int sq = 0; sq < kSize * kSize; sq++) {
      int& cell = board[sq / kSize][sq % kSize];
      if (cell != 0) continue;
      cell = 1;
      const bool five = fiveAt(sq / kSize, sq % kSize);
      cell = 0;
      if (five) return true;
    }
    return false;
  };
  for (int stones = 0, x, y;;) {
    const bool winning = canWin();
    const string reply = brain.next();
    ASSERT_TRUE(isMove(reply, kSize)) << reply;
    std::sscanf(reply.c_str(), "%d,%d", &x, &y);
    ASSERT_EQ(board[x][y], 0) << "the brain played on a stone: " << reply;
    board[x][y] = 1;
    ASSERT_TRUE(!winning || fiveAt(x, y)) << "a five missed: " << reply;
    if (fiveAt(x, y) || ++stones == kSize * kSize) break;
    int sq = 0;
    while (board[sq / kSize][sq % kSize] != 0) sq++;
    board[sq / kSize][sq % kSize] = 2;
    if (fiveAt(sq / kSize, sq % kSize) || ++stones == kSize * kSize) break;
    brain.send("TURN " + std::to_string(sq / kSize) + "," + std::to_string(sq % kSize));
  }
  run(kEnd);
}

TEST_F(Brain, PlaysAWholeGame) {
  playWholeGame("");
}

// With two search threads (or more than the machine has, or none): the
// same game, and limits held: a turn limit, END at once, the manager's
// clock.
TEST_F(Brain, ThreadsPlayAndKeepTheLimits) {
  for (const char* threads : {"2", "64", "0", "-3"}) {
    SCOPED_TRACE(threads);
    brain.restart();
    SetUp();
    playWholeGame("> INFO thread_num " + string(threads) + "|");
  }
  brain.restart();
  SetUp();
  run("> INFO thread_num 2|> INFO timeout_turn 500|> START 20|OK");
  EXPECT_LT(quietMove(), 500 + kTurnSlackMs) << "a turn of 500 ms";
  run("> START 20|OK|> INFO time_left 600");
  EXPECT_LT(quietMove(), 600 / 5 + kTurnSlackMs) << "time_left 600";
  run("> INFO timeout_turn 30000|> INFO timeout_match 0|> START 20|OK|" + string(kQuietBoard));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const long long end = tools::nowMs();
  run("> END|<move 20>|OK|<exit>");
  EXPECT_LT(tools::nowMs() - end, kPromptEndMs);
}

// What the brain thinks, with INFO show_detail 1: the lines of one
// decision, read up to its move.
struct Detail {
  struct Iteration {
    int depth;
    string score;
    std::vector<std::pair<int, int>> pv;
  };
  std::vector<Iteration> iterations;
  string choice;  // "x,y by ..."
  string move;
  string lines;  // all of them, without the speed and the time
};

Detail readDetail(BrainDriver& brain) {
  static const std::regex iteration(
      R"(MESSAGE depth (\d+) score (-?\d+|win in \d+|loss in \d+) nodes \d+ nps \d+ )"
      R"(time \d+ pv((?: \d+,\d+)*))");
  static const std::regex choice(
      R"(MESSAGE best (\d+,\d+ by (opening rule|forced reply|search depth \d+)))");
  Detail d;
  for (string line = brain.next();; line = brain.next()) {
    d.lines += std::regex_replace(line, std::regex(" nps \\d+ time \\d+"), "") + "\n";
    std::smatch m;
    if (std::regex_match(line, m, iteration)) {
      Detail::Iteration it{std::stoi(m[1]), m[2], {}};
      const string pv = m[3];
      for (std::size_t at = 0; (at = pv.find(' ', at)) != string::npos; at++) {
        int x, y;
        std::sscanf(pv.c_str() + at, " %d,%d", &x, &y);
        it.pv.push_back({x, y});
      }
      d.iterations.push_back(it);
    } else if (std::regex_match(line, m, choice)) {
      d.choice = m[1];
    } else if (line == "MESSAGE creating player") {
      continue;
    } else {
      d.move = line;
      return d;
    }
  }
}

// Plays a variation from a position: every move on an empty square of a
// board of side `size`, sides alternating; `five` tells whether its last
// move makes five.
bool legalVariation(int size, std::vector<std::pair<int, int>> stones,
                    const std::vector<std::pair<int, int>>& pv, bool* five = nullptr) {
  for (const auto& move : pv) {
    if (move.first < 0 || move.second < 0 || move.first >= size || move.second >= size)
      return false;
    for (const auto& stone : stones)
      if (stone == move) return false;
    stones.push_back(move);
  }
  if (five != nullptr && !stones.empty()) {
    // The stones of the last mover are those of its parity.
    const std::size_t last = stones.size() - 1;
    *five = fiveThrough(stones[last].first, stones[last].second, [&](int x, int y) {
      for (std::size_t k = last % 2; k < stones.size(); k += 2)
        if (stones[k] == std::pair{x, y}) return true;
      return false;
    });
  }
  return true;
}

// INFO show_detail 1: a line per completed iteration, in order, each with a
// legal principal variation starting at the move chosen in the end, then
// the choice; max_depth bounds the iterations; a proven win is said with
// its plies down to the five; the opening and forced replies are named.
// Without the line, nothing more than the move (the other conversations
// show it byte for byte).
TEST_F(Brain, ShowDetailSaysWhatTheBrainThinks) {
  // A middle game that the side to move wins (found at depth 10 within the
  // budget).
  const std::vector<std::pair<int, int>> stones = {{7, 7}, {8, 8}, {8, 7}, {6, 7}, {9, 7}, {6, 8},
                                                   {9, 8}, {6, 6}, {6, 5}, {7, 6}, {9, 6}, {9, 5}};
  string board = "> BOARD|";
  for (std::size_t k = 0; k < stones.size(); k++)
    board += "> " + std::to_string(stones[k].first) + "," + std::to_string(stones[k].second) +
             (k % 2 == 0 ? ",1|" : ",2|");
  board += "> DONE";
  for (const char* maxDepth : {"4", "10"}) {
    SCOPED_TRACE(maxDepth);
    run("> INFO show_detail 1|> INFO max_node 4000000|> INFO max_depth " + string(maxDepth) +
        "|> START 15|OK|" + board);
    const Detail d = readDetail(brain);
    ASSERT_TRUE(isMove(d.move, 15)) << d.move;
    ASSERT_FALSE(d.iterations.empty());
    int depth = 0;
    bool five = false;
    for (const Detail::Iteration& it : d.iterations) {
      EXPECT_EQ(it.depth, depth + 2);
      depth = it.depth;
      EXPECT_TRUE(legalVariation(15, stones, it.pv, &five));
      EXPECT_FALSE(it.pv.empty());
    }
    const Detail::Iteration& last = d.iterations.back();
    EXPECT_EQ(last.depth, std::stoi(maxDepth));
    EXPECT_EQ(std::to_string(last.pv[0].first) + "," + std::to_string(last.pv[0].second), d.move);
    EXPECT_EQ(d.choice, d.move + " by search depth " + maxDepth);
    if (string(maxDepth) == "10") {
      EXPECT_EQ(last.score, "win in " + std::to_string(last.pv.size()));
      EXPECT_TRUE(five && last.pv.size() % 2 == 1) << "the variation ends with the winner's five";
    }
  }
  run("> INFO max_node 0|> INFO timeout_turn 300|> START 15|OK|> BEGIN");
  Detail d = readDetail(brain);
  EXPECT_TRUE(d.iterations.empty() && d.move == "7,7" && d.choice == "7,7 by opening rule");
  run("> TURN 0,0");
  d = readDetail(brain);
  EXPECT_TRUE(d.iterations.empty() && d.choice == d.move + " by opening rule") << d.choice;
  // The opponent's four (3..6,9) leaves one block.
  run("> START 15|OK|> BOARD|> 2,9,1|> 3,9,2|> 0,11,1|> 4,9,2|> 4,11,1|> 5,9,2|> 8,11,1|> 6,9,2|"
      "> DONE|MESSAGE best 7,9 by forced reply|7,9|> INFO show_detail 0|> TURN 0,0|<move 15>|" +
      kEnd);
}

// INFO max_node: the same position and budget give the same move and the
// same iterations in two processes, whatever the machine's load, and a
// small budget answers at once; thread_num does not change that (a budget
// means one thread). Absurd values are taken as none.
TEST_F(Brain, MaxNodeMakesDecisionsReproducible) {
  std::vector<Detail> decisions;
  for (const char* threads : {"1", "2"}) {
    brain.restart();
    SetUp();
    const long long start = tools::nowMs();
    run("> INFO show_detail 1|> INFO thread_num " + string(threads) +
        "|> INFO max_node 2000000|> START 20|OK|" + kQuietBoard);
    decisions.push_back(readDetail(brain));
    EXPECT_LT(tools::nowMs() - start, 10000);
    run(kEnd);
  }
  ASSERT_TRUE(isMove(decisions[0].move, 20));
  EXPECT_EQ(decisions[0].lines, decisions[1].lines);
  brain.restart();
  SetUp();
  run("> INFO max_node -5|> INFO max_depth -1|> INFO show_detail -1|> INFO max_node 99999999999|"
      "> INFO max_depth 1000000|> START 15|OK|> BEGIN|MESSAGE creating player|7,7|"
      "> INFO max_depth 1|> INFO max_node 0|> START 20|OK|" +
      string(kQuietBoard) + "|MESSAGE creating player|<move 20>");
  run("> INFO max_depth 0|> INFO max_node 1|> INFO timeout_turn 30000|> START 20|OK");
  EXPECT_LT(quietMove(), kPromptEndMs) << "a budget of one node";
  run(kEnd);
}

// A game memory file's used slots as "block.slot=winner", then "fill
// block=index" for each ring that has moved.
string memoryEntries(const string& path) {
  const string bytes = readFile(path);
  if (static_cast<long>(bytes.size()) != kMemoryFileSize) return "no memory";
  auto number = [&](std::size_t at, int size) {
    unsigned long long v = 0;
    while (size-- > 0) v = v << 8 | static_cast<unsigned char>(bytes[at + size]);
    return std::to_string(v);
  };
  string entries;
  for (std::size_t e = 0; e < 22000; e++)  // 22 blocks of 1000 slots, 16 bytes each
    if (number(20 + 16 * e, 8) != "0")
      entries += std::to_string(e / 1000) + "." + std::to_string(e % 1000) + "=" +
                 number(28 + 16 * e, 4) + " ";
  for (int block = 0; block < 30; block++)
    if (number(352020 + 4 * block, 4) != "0")
      entries += "fill " + std::to_string(block) + "=" + number(352020 + 4 * block, 4) + " ";
  return entries;
}

// RESTART starts a new game on the same player: the board is empty again
// (the next game's stones may lie where the last game's did), and the game
// memory stays in the process with what it learned, unwritten until END.
// END writes it, and a new process reads it back. Two games, each lost by
// the brain at its 11th move (the other side's open four), store their
// position after move 9 in block 0 of the memory, slots 0 and 1: over a
// RESTART in one process as over END and a new process, and a position
// already stored adds nothing, whichever way it comes back.
TEST_F(Brain, RestartKeepsTheGameMemoryEndWritesItANewProcessReadsIt) {
  const string lost1 =
      "> BOARD|> 0,0,1|> 5,7,2|> 0,14,1|> 6,7,2|> 14,0,1|> 7,7,2|> 14,14,1|> 8,7,2|> 7,0,1|"
      "> 2,12,2|> done|";
  const string lost2 =
      "> BOARD|> 0,1,1|> 7,5,2|> 1,14,1|> 7,6,2|> 13,0,1|> 7,7,2|> 13,14,1|> 7,8,2|> 7,14,1|"
      "> 12,2,2|> done|";
  const string memory = temp.path() + "/velmaro/velmDat.0";
  const string restart = "> RESTART|MESSAGE restarting player|OK|";
  const string start = "> INFO folder $D|> START 15|OK|";
  // One process: a game, RESTART, another game; nothing written before END.
  run("> START 15|OK|" + lost1 + "MESSAGE creating player|9,7|" + restart +
      "<size velmaro/velmDat.0 -1>|" + lost2 + "7,9|" + kEnd);
  const string both = readFile(memory);
  EXPECT_EQ(memoryEntries(memory), "0.0=1 0.1=1 fill 0=2 ");
  // A new process reads them: the same games, over RESTART and over a new
  // game by START, leave the file as it was.
  brain.restart();
  run(start + lost2 + "MESSAGE creating player|7,9|" + restart + lost1 + "9,7|> START 15|OK|" +
      lost2 + "7,9|" + kEnd);
  EXPECT_TRUE(readFile(memory) == both);
  // The same two games with END and a new process between them.
  std::filesystem::remove(memory);
  brain.restart();
  run(start + lost1 + "MESSAGE creating player|9,7|" + kEnd);
  EXPECT_EQ(memoryEntries(memory), "0.0=1 fill 0=1 ");
  brain.restart();
  run(start + lost2 + "MESSAGE creating player|7,9|" + kEnd);
  EXPECT_EQ(memoryEntries(memory), "0.0=1 0.1=1 fill 0=2 ");
}

// The one fatal error a manager can provoke: a move asked for on a full
// board. Each run adds its line to the log.
TEST_F(Brain, FatalErrorsAreAppendedToTheLog) {
  string fullBoard = "> START 5|OK|> BOARD|";
  for (int sq = 0; sq < 25; sq++)
    fullBoard += "> " + std::to_string(sq / 5) + "," + std::to_string(sq % 5) +
                 (sq % 2 == 0 ? ",1|" : ",2|");
  fullBoard += "> done|MESSAGE creating player|Error: Game over|<exit>";
  run(fullBoard);
  brain.restart();
  run("> INFO folder $D|" + fullBoard);
#ifdef VELMARO_WINE
  const string line = "Error: Game over\r\n";  // the platform's text files
#else
  const string line = "Error: Game over\n";
#endif
  EXPECT_EQ(readFile(temp.path() + "/velmaro/velmaro.log"), line + line);
}

// Folder names are used exactly as named, never by a shell: odd characters,
// a folder longer than the old 255-character lines (where a brain killed
// while writing left a temporary file), and lines longer than any folder,
// which are refused whole.
TEST_F(Brain, FolderNamesAreUsedExactlyAsNamed) {
  string odd = temp.path() + "/deep/a b;touch pwned;$(touch pwned2)'";
#ifndef VELMARO_WINE
  odd += '"';  // not a valid character in a Windows folder name
#endif
  run("> INFO folder " + brainPath(odd) + "|" + kBegin15 + kEnd);
  EXPECT_TRUE(fileExists(odd + "/velmaro/velmDat.0"));
  EXPECT_FALSE(fileExists(temp.path() + "/pwned") || fileExists(temp.path() + "/pwned2"));

  string folder = temp.path();
  while (folder.size() < 318) folder += folder.size() % 60 == 0 ? "/" : "d";
  std::filesystem::create_directories(folder + "/velmaro");
  writeFile(folder + "/velmaro/velmDat.0.tmp", "left over");
  brain.restart();
  run("> INFO folder " + brainPath(folder) + "|> " + string(5000, 'x') +
      "|> START 15|ERROR line too long|OK|> BOARD|> 7,7,2|> INFO folder " + string(5000, 'y') +
      "|> done|MESSAGE creating player|" + kBadBoardLine + "{<move 15>/UNKNOWN command}|" + kEnd);
  EXPECT_EQ(fileSize(folder + "/velmaro/velmDat.0"), kMemoryFileSize);
  EXPECT_EQ(fileSize(folder + "/velmaro/velmaro.log"), 0);
  EXPECT_FALSE(fileExists(folder + "/velmaro/velmDat.0.tmp"));
}

#ifndef VELMARO_WINE
// The folders the brain creates for its data: exactly the named folder (from
// its working folder when relative, "." and ".." followed), its missing
// parents and its sub-folder "velmaro", each with what the umask leaves of
// 0777, and in the sub-folder only the log and, after END, the memory;
// nothing else anywhere on the path or in the working folder.
TEST_F(Brain, TheDataFolderItsMissingParentsAndSubFolderAreAllItCreates) {
  // The sub-folder and its files under a folder.
  auto data = [](const string& in) {
    return in + "velmaro/ " + in + "velmaro/velmDat.0 " + in + "velmaro/velmaro.log";
  };
  const std::pair<string, string> cases[] = {
      {"$D/new/deeper", "new/ new/deeper/ " + data("new/deeper/")},
      {"rel/x", "rel/ rel/x/ " + data("rel/x/")},
      {"$D/t/", "t/ " + data("t/")},
      {"$D/u/./v/../w", "u/ u/v/ u/w/ " + data("u/w/")},
      {"$D", data("")},
      {"", data("")}};
  for (const auto& [folder, created] : cases) {
    SCOPED_TRACE(folder);
    for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
      std::filesystem::remove_all(entry);
    brain.restart();
    run("> INFO folder " + folder + "|> START 15|OK|> BEGIN|MESSAGE creating player|7,7|" + kEnd);
    EXPECT_EQ(listTree(temp.path()), created);
  }
}
#endif

TEST_F(Brain, AFolderThatCannotBeUsedMeansNoFilesNotALostGame) {
  const string file = temp.path() + "/plain-file";
  writeFile(file, "a file where the folder should be");
  run("> INFO folder " + brainPath(file) +
      "|> START 15|OK|> BEGIN|MESSAGE creating player|"
      "MESSAGE cannot use the data folder; this run writes no files|7,7|" +
      kEnd);
  EXPECT_FALSE(fileExists(file + "/velmaro"));
}

// The manager's clock wins over the brain's own account; limits sent before
// a game or a move hold for it; timeout_match 0 means no match limit.
TEST_F(Brain, ManagerClockAndLimitsHoldPerGameAndPerMove) {
  run("> INFO timeout_turn 30000|> START 20|OK|> INFO time_left 50");
  EXPECT_LT(quietMove(), 5000) << "time_left 50";
  run("> INFO timeout_turn 100|> START 20|OK");
  EXPECT_LT(quietMove(), 5000) << "a turn limit sent before the second game";
  run("> INFO timeout_turn 30000|> INFO timeout_match 500|> RESTART|MESSAGE restarting player|OK");
  EXPECT_LT(quietMove(), 5000) << "a match time sent before RESTART";
  run("> INFO timeout_match 0|> INFO time_left 0|> INFO timeout_turn 300|> INFO game_type 3|"
      "> START 20|OK");
  EXPECT_GE(quietMove(), 30) << "no match limit is no reason to play at once";
  run(kEnd);
}

// END during a long decision: the move found so far, OK, the memory written.
TEST_F(Brain, EndStopsTheDecision) {
  run(thinking(30000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const long long end = tools::nowMs();
  run("> END|<move 20>|OK|<exit>|<size velmaro/velmDat.0 358540>");
  EXPECT_LT(tools::nowMs() - end, 10000);  // the turn has 30 s
}

// The replies go on while nobody reads them; the first that finds no reader
// ends the brain with exit code 0, never a signal.
TEST_F(Brain, AClosedOutputEndsTheBrainWithExitCodeZero) {
  run("> INFO timeout_turn 500|> START 20|OK");
  brain.process.closeOutput();
  run(string(kQuietBoard) + "|<exit>");
}

#ifdef __linux__
// The limit holds with every search thread's board and stack counted,
// whether the threads are announced before START (the tables leave them
// room) or after it (no more threads than the room left).
TEST_F(Brain, MaxMemoryBoundsThePeakResidentMemory) {
  constexpr long kLimit = 50000000;
  const std::pair<const char*, const char*> announced[] = {
      {"", ""}, {"> INFO thread_num 64|", ""}, {"", "> INFO thread_num 2|"}};
  for (const auto& [before, after] : announced) {
    SCOPED_TRACE(string(before) + after);
    brain.restart();
    SetUp();
    run("> INFO max_memory " + std::to_string(kLimit) + "|> INFO timeout_turn 1500|" + before +
        "> START 20|OK|" + after);
    quietMove();
    run("> TURN 0,0|<move 20>");
    const long peak = procStatusKb(brain.process.processId(), "VmHWM") * 1024;
    EXPECT_GT(peak, 0);
    // (Under a sanitizer its shadow memory is resident in the brain too.)
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(peak, kLimit);
#endif
  }
  // Below what the engine needs at all: it says so and plays.
  run("> INFO max_memory 1000|> START 20|OK|> BEGIN|MESSAGE max_memory 1000 is below what the "
      "engine needs; it plays with its smallest tables|10,10|" +
      kEnd);
}
#endif

}  // namespace
