// The real pbrain-velmaro as a manager sees it over pipes: conversations with their exact replies,
// whole games, the log, the data folders, and the manager's limits (its clock, END at once, memory,
// a closed output), timed with bounds generous enough for a busy machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "brain_driver.h"

namespace {

using namespace testing_support;
using std::string;

// The brain's reply to ABOUT.
constexpr const char* kAboutText =
    "name=\"velmaro\", author=\"TN\", version=\"0.0\", country=\"Ita\", "
    "www=\"https://velmaro.org\"";
// A 20x20 position with no forced answer (the engine to move as who 1), in a BOARD block: the
// engine searches it until its time runs out.
constexpr const char* kQuietBoard = "> BOARD|> 10,10,2|> 11,11,1|> 9,11,2|> 12,10,1|> done";
constexpr long kMemoryFileSize = 358540;
// How soon the brain must be gone after end of input while it thinks. Under ThreadSanitizer the
// exit itself, with the worker still searching, takes 2 to 4 s of the sanitizer's finalisation.
#if defined(__SANITIZE_THREAD__)
constexpr int kPromptExitMs = 10000;
#else
constexpr int kPromptExitMs = 5000;
#endif

// How much later than its limit a reply may come on a busy machine, and how soon END must stop a
// decision (the command loop waits for the move).
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
  string name;
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
     "> START 15|ERROR unsupported game type 4|> BEGIN|MESSAGE creating player|7,7|"
     "> INFO game_type 0|> START 15|OK|> INFO game_type 3|> START 15|OK"},
    // INFO is answered only for a rule the brain does not play; lines are kept whole up to 4096.
    {"InfoAndUnknownLines",
     "> INFO timeout_turn 5000|> INFO TIMEOUT_TURN|> INFO evaluate 3,4|> info|<silent>|> |"
     "UNKNOWN command|>    |UNKNOWN command|> HELLO|UNKNOWN command|> about|" +
         string(kAboutText) + "|> About|" + kAboutText + "|> ABOUTX|" + kAboutText + "|> " +
         string(255, 'a') + "ABOUT|UNKNOWN command|> START 15" + string(292, ' ') + "|OK|<silent>"},
    {"CarriageReturns", "> START 15\r|OK|> BOARD\r|> DONE\r|MESSAGE creating player|7,7"},
    {"TurnWithoutStartPlaysOnTwenty",
     "> INFO timeout_turn 500|> TURN 3,4|OK|MESSAGE creating player|<move 20>|> TURN 19,19|"
     "<move 20>"},
    // Stones off the board or on a taken square are refused, hundreds of them too (they once
    // overran the engine's records), and the game goes on.
    {"CoordinatesAndTakenSquares",
     "> INFO timeout_turn 300|> START 15|OK|> TURN 15,0|ERROR bad coordinates|> TURN -1,3|"
     "ERROR bad coordinates|> TURN 3 ,4|ERROR bad coordinates|> TURN 3|ERROR bad coordinates|"
     "> TURN|ERROR bad coordinates|> PLAY 0,15|ERROR bad coordinates|> PLAY 7,7|"
     "MESSAGE creating player|7,7|> TURN 7,7|ERROR bad coordinates|> TURN 14,14 and more|"
     "<move 15>|> TAKEBACK 1,1|ERROR takeback not supported|UNKNOWN|> TAKEBACK 99,99|"
     "ERROR bad coordinates|" +
         times(450, "> PLAY 7,7|ERROR bad coordinates") + "> TURN 0,0|<move 15>|" + kEnd},
    // Stones are played in the order given: the brain's open four (5..8,5) made five first.
    {"BoardStonesInOrder",
     "> START 15|OK|> BOARD|> 5,5,1|> 0,0,2|> 6,5,1|> 0,2,2|> 7,5,1|> 0,4,2|> 8,5,1|> 3,3,3|"
     "> 0,6,2|> done|MESSAGE creating player|ERROR blocking not supported|9,5"},
    // A bad line ends the board, the engine still moves on what it has, and the lines after it are
    // commands, answered while it computes.
    {"BadBoardLine", "> START 15|OK|> BOARD|> 30,30,1|> DONE|" + kBadBoardLine +
                         "{MESSAGE creating player/7,7/UNKNOWN command}"},
    {"BoardLineOnATakenSquare",
     "> START 15|OK|> BOARD|> 3,3,1|> 3,3,2|> 4,4,2|> done|MESSAGE creating player|" +
         kBadBoardLine + "{<move 15>/UNKNOWN command/UNKNOWN command}"},
    // The player keeps the size it was created with: a rejected START, the implicit 20x20 start
    // after it, or a START refused for its game type change the settings alone.
    {"StonesOffThePlayersBoard",
     "> INFO timeout_turn 300|> START 15|OK|> TURN 1,1|MESSAGE creating player|<move 15>|"
     "> START 4|ERROR bad START parameter|> TURN 19,19|OK|ERROR bad coordinates|> INFO rule 1|"
     "ERROR unsupported game type exact 5|> START 20|ERROR unsupported game type exact 5|"
     "> PLAY 15,3|ERROR bad coordinates|> TURN 14,14|<move 15>"},
    {"RestartBeginsAnEmptyGame",
     "> START 15|OK|> RESTART|OK|> BEGIN|MESSAGE creating player|7,7|> RESTART|"
     "MESSAGE restarting player|OK|> BEGIN|7,7"},
    // START alone begins a new, empty game; another size ends the player (its memory is written).
    {"StartBeginsANewGame", kBegin15 +
                                "> START 15|OK|> BEGIN|7,7|> START 19|OK|> BEGIN|"
                                "MESSAGE creating player|<size velmaro/velmDat.0 358540>|9,9|" +
                                kEnd},
    {"EndWritesTheMemory", kBegin15 +
                               "> END|OK|<eof>|<exit>|<size velmaro/velmDat.0 358540>|"
                               "<size velmaro/velmaro.log 0>|<size velmaro/velmDat.0.tmp -1>"},
    {"EndBeforeAnyStone", "> END|ERROR ending a non inited player|<exit>"},
    // End of input ends the brain at once, inside a board or while it thinks; only END writes the
    // memory, and END during a long decision gives the move found so far.
    {"EndOfInputInsideBoard",
     "> START 15|OK|> BOARD|> 7,7,1|<close>|MESSAGE creating player|<eof>|<exit>|"
     "<size velmaro/velmDat.0 -1>"},
    {"EndOfInputWhileThinking",
     thinking(20000) + "<close>|<exit " + std::to_string(kPromptExitMs) + ">"},
    {"EndWhileThinking",
     thinking(30000) + "<silent>|> END|<move 20>|OK|<exit>|<size velmaro/velmDat.0 358540>"},
    // While the worker computes, INFO, ABOUT and unknown lines are answered at once; TURN, RESTART
    // and START wait for the move.
    {"CommandsWhileThinking",
     thinking(1500) +
         "> INFO time_left 100000|> HELLO|UNKNOWN command|> INFO timeout_turn 800|> about|" +
         kAboutText +
         "|> |UNKNOWN command|> TURN 0,19|<move 20>|> RESTART|<move 20>|"
         "MESSAGE restarting player|OK|" +
         kQuietBoard + "|> START 20|<move 20>|OK|> BEGIN|10,10"},
    // The replies go on while nobody reads them; the first that finds no reader ends the brain
    // with exit code 0, never a signal.
    {"AClosedOutputEndsTheBrainWithExitCodeZero",
     "> INFO timeout_turn 500|> START 20|OK|<close output>|" + string(kQuietBoard) + "|<exit>"},
#ifndef VELMARO_WINE
    {"AnEmptyFolderMeansTheWorkingFolder",
     "> INFO folder |" + kBegin15 + "<size velmaro/velmaro.log 0>"},
#endif
};

// INFO rule before START (Piskvork), after its OK (c-gomoku-cli), between moves and while the
// engine thinks: any rule but free-style (0) is refused at once with one ERROR line (for several,
// the first of exact five, renju, continuous and caro; bits above 8 name none), which START then
// answers too; 10,10 taken in both games and no new player show that both were kept.
const std::pair<string, string> kRules[] = {
    {"0", ""},       {"1", "exact 5"},  {"2", "continuous"}, {"4", "renju"},
    {"8", "caro"},   {"3", "exact 5"},  {"6", "renju"},      {"10", "continuous"},
    {"12", "renju"}, {"15", "exact 5"}, {"16", ""},          {"17", "exact 5"}};

std::vector<Conversation> withRules() {
  std::vector<Conversation> all(std::begin(kConversations), std::end(kConversations));
  for (const auto& [value, refused] : kRules) {
    const string refusal = refused.empty() ? "" : "ERROR unsupported game type " + refused;
    const string info = "> INFO rule " + value + "|";
    const string announced = info + (refused.empty() ? "" : refusal + "|");
    const string start = "> START 20|" + (refused.empty() ? "OK" : refusal) + "|";
    all.push_back({"Rule" + value,
                   "> INFO timeout_turn 300|" + announced + start + "> INFO rule 0|> START 20|OK|" +
                       announced + "> BEGIN|MESSAGE creating player|10,10|" + announced +
                       "> TURN 10,10|ERROR bad coordinates|> TURN 0,0|<move 20>|"
                       "> RESTART|MESSAGE restarting player|OK|" +
                       kQuietBoard + "|" + info +
                       (refused.empty() ? "<move 20>" : "{<move 20>/" + refusal + "}") +
                       "|> TURN 10,10|ERROR bad coordinates|> TURN 0,19|<move 20>|" + start +
                       "<silent>"});
  }
  return all;
}

class Brain : public ::testing::Test {
 protected:
  TempFolder temp;
  BrainDriver brain{VELMARO_BRAIN, temp.path()};

  void SetUp() override { brain.send("INFO folder " + brainPath(temp.path())); }
  void restart() {
    brain.restart();
    SetUp();
  }
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
};

class Script : public Brain, public ::testing::WithParamInterface<Conversation> {};

TEST_P(Script, Replies) {
  run(GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(Protocol, Script, ::testing::ValuesIn(withRules()),
                         [](const auto& info) { return info.param.name; });

// A board of side `size`, by index x * size + y: 0 empty, else the number of the side there.
struct Board {
  int size;
  std::vector<int> cells = std::vector<int>(size * size);
  int at(int x, int y) const {  // -1 off the board
    return x >= 0 && y >= 0 && x < size && y < size ? cells[x * size + y] : -1;
  }
  // Whether a stone of `who` on x,y is (or would be) in a row of five or more.
  bool fiveThrough(int x, int y, int who) const {
    for (const auto& [dx, dy] : {std::pair{1, 0}, {0, 1}, {1, 1}, {1, -1}}) {
      int run = 1;
      for (int sign : {1, -1})
        for (int k = 1; at(x + sign * k * dx, y + sign * k * dy) == who; k++) run++;
      if (run >= 5) return true;
    }
    return false;
  }
};

// Whole games against a simple opponent (the first empty square in index order), on the default
// search threads, two, more than the machine has, or none: every reply is an empty square, a five
// is played whenever the brain has one, and the game ends with a five or a full board. Then, on two
// threads, the limits hold: a turn limit, the manager's clock over the brain's own account, limits
// sent before a game or a move, timeout_match 0 as no match limit, END at once.
TEST_F(Brain, ThreadsPlayAndKeepTheLimits) {
  constexpr int kSize = 10;
  for (const char* threads : {"", "2", "64", "0", "-3"}) {
    SCOPED_TRACE(threads);
    restart();
    run((*threads ? "> INFO thread_num " + string(threads) + "|" : "") +
        "> INFO timeout_turn 200|> INFO timeout_match 60000|> START 10|OK|> BEGIN|"
        "MESSAGE creating player");
    Board board{kSize};  // 1 the brain, 2 the opponent
    for (int stones = 0, x, y;;) {
      bool winning = false;  // whether an empty square makes the brain's five
      for (int sq = 0; sq < kSize * kSize; sq++)
        winning = winning || (board.cells[sq] == 0 && board.fiveThrough(sq / kSize, sq % kSize, 1));
      const string reply = brain.next();
      ASSERT_TRUE(isMove(reply, kSize)) << reply;
      std::sscanf(reply.c_str(), "%d,%d", &x, &y);
      ASSERT_EQ(board.at(x, y), 0) << "the brain played on a stone: " << reply;
      board.cells[x * kSize + y] = 1;
      ASSERT_TRUE(!winning || board.fiveThrough(x, y, 1)) << "a five missed: " << reply;
      if (board.fiveThrough(x, y, 1) || ++stones == kSize * kSize) break;
      const int sq = std::find(board.cells.begin(), board.cells.end(), 0) - board.cells.begin();
      board.cells[sq] = 2;
      if (board.fiveThrough(sq / kSize, sq % kSize, 2) || ++stones == kSize * kSize) break;
      brain.send("TURN " + std::to_string(sq / kSize) + "," + std::to_string(sq % kSize));
    }
    run(kEnd);
  }
  restart();
  run("> INFO thread_num 2|> INFO timeout_turn 500|> START 20|OK");
  EXPECT_LT(quietMove(), 500 + kTurnSlackMs) << "a turn of 500 ms";
  run("> INFO timeout_turn 30000|> START 20|OK|> INFO time_left 600");
  EXPECT_LT(quietMove(), 600 / 5 + kTurnSlackMs) << "time_left 600";
  run("> INFO timeout_turn 100|> START 20|OK");
  EXPECT_LT(quietMove(), 5000) << "a turn limit sent before the next game";
  run("> INFO timeout_turn 30000|> INFO timeout_match 500|> RESTART|MESSAGE restarting player|OK");
  EXPECT_LT(quietMove(), 5000) << "a match time sent before RESTART";
  run("> INFO timeout_match 0|> INFO time_left 0|> INFO timeout_turn 300|> INFO game_type 3|"
      "> START 20|OK");
  EXPECT_GE(quietMove(), 30) << "no match limit is no reason to play at once";
  run("> INFO timeout_turn 30000|> START 20|OK|" + string(kQuietBoard) + "|<silent>");
  const long long end = tools::nowMs();
  run("> END|<move 20>|OK|<exit>");
  EXPECT_LT(tools::nowMs() - end, kPromptEndMs);
}

// What the brain thinks, with INFO show_detail 1: the lines of one decision, read up to its move.
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
      std::istringstream pv(m[3]);
      for (int x, y; pv >> x && pv.ignore() && pv >> y;) it.pv.push_back({x, y});
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

// Plays a variation after a position's stones: every move on an empty square of a board of side
// `size`, sides alternating; `five` tells whether its last move makes five.
bool legalVariation(int size, std::vector<std::pair<int, int>> stones,
                    const std::vector<std::pair<int, int>>& pv, bool& five) {
  stones.insert(stones.end(), pv.begin(), pv.end());
  Board board{size};
  for (std::size_t k = 0; k < stones.size(); k++) {
    const auto [x, y] = stones[k];
    const int who = k % 2 + 1;
    if (board.at(x, y) != 0) return false;
    five = board.fiveThrough(x, y, who);
    board.cells[x * size + y] = who;
  }
  return true;
}

// INFO show_detail 1: a line per completed iteration, in order, each with a legal principal
// variation starting at the move chosen in the end, then the choice; max_depth bounds the
// iterations; a proven win is said with its plies down to the five; the opening and forced replies
// are named. (Without it, the conversations show the replies byte for byte.) INFO max_node: the
// same position and budget give the same lines in two processes, whatever the machine's load, and a
// small budget answers at once; thread_num does not change that (a budget means one thread). Absurd
// values are taken as none.
TEST_F(Brain, ShowDetailSaysWhatTheBrainThinksAndMaxNodeMakesItReproducible) {
  std::vector<Detail> decisions;
  for (const char* threads : {"2", "1"}) {
    restart();
    const long long start = tools::nowMs();
    run("> INFO show_detail 1|> INFO thread_num " + string(threads) +
        "|> INFO max_node 2000000|> START 20|OK|" + kQuietBoard);
    decisions.push_back(readDetail(brain));
    EXPECT_LT(tools::nowMs() - start, 10000);
  }
  ASSERT_TRUE(isMove(decisions[0].move, 20));
  EXPECT_EQ(decisions[0].lines, decisions[1].lines);
  // A middle game that the side to move wins (found at depth 10 within the budget).
  const std::vector<std::pair<int, int>> stones = {{7, 7}, {8, 8}, {8, 7}, {6, 7}, {9, 7}, {6, 8},
                                                   {9, 8}, {6, 6}, {6, 5}, {7, 6}, {9, 6}, {9, 5}};
  string board = "> BOARD|";
  for (std::size_t k = 0; k < stones.size(); k++)
    board += "> " + std::to_string(stones[k].first) + "," + std::to_string(stones[k].second) +
             (k % 2 == 0 ? ",1|" : ",2|");
  board += "> DONE";
  for (const char* maxDepth : {"4", "10"}) {
    SCOPED_TRACE(maxDepth);
    run("> INFO max_node 4000000|> INFO max_depth " + string(maxDepth) + "|> START 15|OK|" + board);
    const Detail d = readDetail(brain);
    ASSERT_FALSE(d.iterations.empty()) << d.move;
    int depth = 0;
    bool five = false;
    for (const Detail::Iteration& it : d.iterations) {
      EXPECT_EQ(it.depth, depth + 2);
      depth = it.depth;
      EXPECT_TRUE(legalVariation(15, stones, it.pv, five));
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
  run("> INFO max_node 0|> INFO timeout_turn 300|> START 15|OK|> BEGIN|"
      "MESSAGE best 7,7 by opening rule|7,7|> TURN 0,0");
  const Detail d = readDetail(brain);
  EXPECT_TRUE(d.iterations.empty() && d.choice == d.move + " by opening rule") << d.choice;
  // The opponent's four (3..6,9) leaves one block.
  run("> START 15|OK|> BOARD|> 2,9,1|> 3,9,2|> 0,11,1|> 4,9,2|> 4,11,1|> 5,9,2|> 8,11,1|> 6,9,2|"
      "> DONE|MESSAGE best 7,9 by forced reply|7,9|> INFO show_detail 0|> TURN 0,0|<move 15>|"
      "> INFO max_node -5|> INFO max_depth -1|> INFO show_detail -1|> INFO max_node 99999999999|"
      "> INFO max_depth 1000000|> START 15|OK|> BEGIN|7,7|> INFO max_depth 1|> INFO max_node 0|"
      "> START 20|OK|" +
      string(kQuietBoard) + "|MESSAGE creating player|<move 20>");
  run("> INFO max_depth 0|> INFO max_node 1|> INFO timeout_turn 30000|> START 20|OK");
  EXPECT_LT(quietMove(), kPromptEndMs) << "a budget of one node";
  run(kEnd);
}

// A game memory file's used slots as "block.slot=winner", then "fill block=index" for each ring
// that has moved.
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

// RESTART empties the board of the same player (the next game's stones may lie where the last
// game's did), whose game memory keeps what it learned, unwritten until END; a new process reads it
// back. Two games lost at the brain's 11th move store their position after move 9 in block 0,
// slots 0 and 1, over RESTART as over END and a new process; a position stored adds nothing again.
TEST_F(Brain, RestartKeepsTheGameMemoryEndWritesItANewProcessReadsIt) {
  const string lost1 =
      "> BOARD|> 0,0,1|> 5,7,2|> 0,14,1|> 6,7,2|> 14,0,1|> 7,7,2|> 14,14,1|> 8,7,2|> 7,0,1|"
      "> 2,12,2|> done|";
  const string lost2 =
      "> BOARD|> 0,1,1|> 7,5,2|> 1,14,1|> 7,6,2|> 13,0,1|> 7,7,2|> 13,14,1|> 7,8,2|> 7,14,1|"
      "> 12,2,2|> done|";
  const string memory = temp.path() + "/velmaro/velmDat.0";
  const string again = "> RESTART|MESSAGE restarting player|OK|";
  const string start = "> START 15|OK|";
  // One process: a game, RESTART, another game; nothing written before END.
  run(start + lost1 + "MESSAGE creating player|9,7|" + again + "<size velmaro/velmDat.0 -1>|" +
      lost2 + "7,9|" + kEnd);
  const string both = readFile(memory);
  EXPECT_EQ(memoryEntries(memory), "0.0=1 0.1=1 fill 0=2 ");
  // The same games with END and a new process between them; the second process reads the first
  // game, and the games again, over RESTART and START, leave the file as one process left it.
  std::filesystem::remove(memory);
  restart();
  run(start + lost1 + "MESSAGE creating player|9,7|" + kEnd);
  EXPECT_EQ(memoryEntries(memory), "0.0=1 fill 0=1 ");
  restart();
  run(start + lost2 + "MESSAGE creating player|7,9|" + again + lost1 + "9,7|" + start + lost2 +
      "7,9|" + kEnd);
  EXPECT_TRUE(readFile(memory) == both);
}

// The one fatal error a manager can provoke: a move asked for on a full board. Each run adds its
// line to the log.
TEST_F(Brain, FatalErrorsAreAppendedToTheLog) {
  string fullBoard = "> START 5|OK|> BOARD|";
  for (int sq = 0; sq < 25; sq++)
    fullBoard += "> " + std::to_string(sq / 5) + "," + std::to_string(sq % 5) +
                 (sq % 2 == 0 ? ",1|" : ",2|");
  fullBoard += "> done|MESSAGE creating player|Error: Game over|<exit>";
  run(fullBoard);
  restart();
  run(fullBoard);
#ifdef VELMARO_WINE
  const string line = "Error: Game over\r\n";  // the platform's text files
#else
  const string line = "Error: Game over\n";
#endif
  EXPECT_EQ(readFile(temp.path() + "/velmaro/velmaro.log"), line + line);
}

// Folder names are used exactly as named, never by a shell: a plain file, which cannot be used and
// costs the files, not the game; odd characters; a folder longer than the old 255-character lines
// (where a brain killed while writing left a temporary file); lines longer than any folder, which
// are refused whole.
TEST_F(Brain, FolderNamesAreUsedExactlyAsNamed) {
  const string file = temp.path() + "/plain-file";
  writeFile(file, "a file where the folder should be");
  string odd = temp.path() + "/deep/a b;touch pwned;$(touch pwned2)'";
#ifndef VELMARO_WINE
  odd += '"';  // not a valid character in a Windows folder name
#endif
  run("> INFO folder " + brainPath(file) +
      "|> START 15|OK|> BEGIN|MESSAGE creating player|"
      "MESSAGE cannot use the data folder; this run writes no files|7,7|> INFO folder " +
      brainPath(odd) + "|> START 19|OK|> BEGIN|MESSAGE creating player|9,9|" + kEnd);
  EXPECT_TRUE(fileExists(odd + "/velmaro/velmDat.0"));
  for (const char* none : {"plain-file/velmaro", "velmaro", "pwned", "pwned2"})
    EXPECT_FALSE(fileExists(temp.path() + "/" + none)) << none;

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
// The folders the brain creates for its data: exactly the named folder (from its working folder
// when relative, "." and ".." followed), its missing parents and its sub-folder "velmaro", each
// with what the umask leaves of 0777, and in the sub-folder only the log and, after END, the
// memory; nothing else anywhere on the path or in the working folder.
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

#ifdef __linux__
// The limit holds with every search thread's board and stack counted, whether the threads are
// announced before START (the tables leave them room) or after it (no more than the room left).
TEST_F(Brain, MaxMemoryBoundsThePeakResidentMemory) {
  constexpr long kLimit = 50000000;
  const std::pair<const char*, const char*> announced[] = {
      {"", ""}, {"> INFO thread_num 64|", ""}, {"", "> INFO thread_num 2|"}};
  for (const auto& [before, after] : announced) {
    SCOPED_TRACE(string(before) + after);
    restart();
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
