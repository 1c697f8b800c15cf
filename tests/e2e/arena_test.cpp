// The match runner as a user runs it: velmaro-arena started as a process
// against scripted test brains (and once against the real brain), judged by
// its printed lines, the records it writes and what the brains received.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "brain_driver.h"
#include "child_process.h"

namespace {

using testing_support::fileExists;
using testing_support::readFile;
using testing_support::TempFolder;

const std::string kArena = std::string(VELMARO_BIN_DIR) + "/velmaro-arena";
const std::string kTestBrain = std::string(VELMARO_TEST_BRAINS_DIR) + "/velmaro-test-brain";
constexpr int kLineTimeoutMs = 60000;

struct ArenaRun {
  std::vector<std::string> lines;
  int exitCode = -1;

  bool has(const std::string& line) const {
    for (const std::string& l : lines)
      if (l == line) return true;
    return false;
  }
  int count(const std::string& text) const {
    int n = 0;
    for (const std::string& l : lines)
      if (l.find(text) != std::string::npos) ++n;
    return n;
  }
  std::string all() const {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
  }
};

class Arena : public ::testing::Test {
 protected:
  TempFolder temp;

  std::string path(const std::string& name) const { return temp.path() + "/" + name; }

  // A test brain command; `log` names its transcript file in the temp folder.
  std::string brain(const std::string& args, const std::string& log = "") const {
    std::string command = "'" + kTestBrain + "' " + args;
    if (!log.empty()) command += " --log '" + path(log) + "'";
    return command;
  }

  ArenaRun run(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {kArena, "--folder", path("data")};
    argv.insert(argv.end(), args.begin(), args.end());
    tools::ChildProcess process;
    ArenaRun result;
    EXPECT_TRUE(process.start(argv, temp.path()));
    std::string line;
    while (process.readLine(line, kLineTimeoutMs)) result.lines.push_back(line);
    EXPECT_FALSE(process.timedOut()) << result.all();
    EXPECT_TRUE(process.waitExit(kLineTimeoutMs, result.exitCode));
    return result;
  }
};

// The .psq text with every move's time replaced by '#', since times are
// measured and vary from run to run.
std::string withoutTimes(const std::string& psq) {
  return std::regex_replace(psq, std::regex("^(\\d+,\\d+),\\d+$", std::regex::multiline), "$1,#");
}

// Every BOARD block (the lines between BOARD and DONE) in a transcript.
std::vector<std::string> boardBlocks(const std::string& transcript) {
  std::vector<std::string> blocks;
  std::size_t at = 0;
  while ((at = transcript.find("BOARD\r\n", at)) != std::string::npos) {
    at += 7;
    std::size_t end = transcript.find("DONE\r\n", at);
    if (end == std::string::npos) break;
    blocks.push_back(transcript.substr(at, end - at));
    at = end;
  }
  return blocks;
}

int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// ---------------------------------------------------------------------------
// Faults: each loses the game with its reason, and the match goes on.

struct Fault {
  const char* name;    // the test's name
  const char* args;    // test brain arguments for engine 1
  const char* reason;  // the reason in both progress lines
  int endCode;         // in the .psq record
  int processes;       // times engine 1 was started during the two games
};

class ArenaFault : public Arena, public ::testing::WithParamInterface<Fault> {};

TEST_P(ArenaFault, LosesBothGamesWithTheReasonAndTheMatchGoesOn) {
  const Fault& fault = GetParam();
  ArenaRun r =
      run({"--engine", brain(fault.args, "one.log"), "--engine", brain("--name honest"), "--size",
           "7", "--games", "2", "--turn", "200", "--tolerance", "100", "--psq", path("psq")});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.count(std::string("engine 2 (white) wins, ") + fault.reason + ";"), 1) << r.all();
  EXPECT_EQ(r.count(std::string("engine 2 (black) wins, ") + fault.reason + ";"), 1) << r.all();
  EXPECT_TRUE(r.has("Engine 1: 0 wins, 2 losses, 0 draws in 2 games")) << r.all();
  EXPECT_TRUE(r.has("Elo difference: -inf"));
  for (const char* game : {"/game001.psq", "/game002.psq"}) {
    std::string psq = readFile(path("psq") + game);
    EXPECT_EQ(psq.substr(psq.rfind('\n', psq.size() - 2) + 1),
              std::to_string(fault.endCode) + "\n");
  }
  EXPECT_EQ(countOf(readFile(path("one.log")), "# start\n"), fault.processes);
}

INSTANTIATE_TEST_SUITE_P(
    ArenaFaults, ArenaFault,
    ::testing::Values(
        Fault{"Crash", "--mode crash --at 2", "engine 1 crashed (signal 6)", 2, 2},
        Fault{"Exit", "--mode exit --at 1", "engine 1 crashed (exit code 3)", 2, 2},
        Fault{"Hang", "--mode hang --at 2",
              "engine 1 exceeded the turn time (no reply within 300 ms)", 3, 2},
        Fault{"Occupied", "--mode occupied --at 2", "engine 1 played on an occupied square (0,0)",
              5, 1},
        Fault{"OffBoard", "--mode offboard --at 1", "engine 1 played off the board (7,0)", 5, 1},
        Fault{"Error", "--mode error --at 2", "engine 1 answered \"ERROR something went wrong\"", 6,
              1},
        // The brain's fatal-error line, followed by its exit: restarted.
        Fault{"Fatal", "--mode fatal --at 2", "engine 1 answered \"Error: Internal test\"", 6, 2},
        Fault{"NotAMove", "--mode garbage --at 1",
              "engine 1 answered \"hello there\", which is not a move", 7, 1},
        Fault{"StartRefused", "--mode starterror",
              "engine 1 answered START with \"ERROR start refused\"", 8, 1}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST_F(Arena, RunningOutOfMatchTimeLosesAndTimeLeftIsSent) {
  // 200 ms a move against a 500 ms game: the third reply comes too late.
  ArenaRun r = run({"--engine", brain("--delay 200", "one.log"), "--engine", brain(""), "--size",
                    "9", "--games", "1", "--turn", "1000", "--match", "500", "--tolerance", "50"});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.count("Game 1 of 1: engine 2 (white) wins, engine 1 exceeded the match time"), 1)
      << r.all();
  std::string log = readFile(path("one.log"));
  EXPECT_NE(log.find("INFO timeout_match 500\r\n"), std::string::npos);
  EXPECT_NE(log.find("INFO time_left 500\r\nBEGIN\r\n"), std::string::npos);
  std::smatch m;
  std::string rest = log.substr(log.find("BEGIN"));
  ASSERT_TRUE(std::regex_search(rest, m, std::regex("INFO time_left (\\d+)\r\nTURN")));
  EXPECT_LT(std::stoi(m[1]), 320);  // 500 less the first reply
  EXPECT_GT(std::stoi(m[1]), 150);
}

TEST_F(Arena, MessageLinesAreCollectedNotTakenAsMoves) {
  ArenaRun r = run({"--engine", brain("--messages"), "--engine", brain(""), "--size", "7",
                    "--games", "2", "--turn", "500", "--show"});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.count(" (black) wins, five in a row;"), 2) << r.all();
  EXPECT_EQ(countOf(r.all(), "[engine 1] MESSAGE thinking about move 1\n"), 2);
  EXPECT_GT(r.count("[engine 1] DEBUG 7,7 looks good"), 2);
  EXPECT_EQ(r.count("[engine 2] "), 0);
  EXPECT_TRUE(r.has("Engine 1: 1 wins, 1 losses, 0 draws in 2 games"));
}

TEST_F(Arena, ShowDrawsTheBoardWithTheLastStoneMarked) {
  ArenaRun r = run({"--engine", brain("--moves '2,2 3,3'"), "--engine", brain("--moves '2,3'"),
                    "--size", "5", "--games", "1", "--show", "--turn", "500"});
  ASSERT_EQ(r.exitCode, 0);
  const std::string out = r.all();
  EXPECT_NE(out.find("Game 1, move 3: X plays 3,3 ("), std::string::npos) << out;
  EXPECT_NE(out.find("    0  1  2  3  4 \n"
                     " 0  .  .  .  .  . \n"
                     " 1  .  .  .  .  . \n"
                     " 2  .  .  X  .  . \n"
                     " 3  .  .  O [X] . \n"
                     " 4  .  .  .  .  . \n"),
            std::string::npos)
      << out;
}

// ---------------------------------------------------------------------------
// Records and the protocol transcript of a scripted match.

TEST_F(Arena, ScriptedMatchWritesExactRecordsAndTranscript) {
  ArenaRun r =
      run({"--engine", brain("--name alpha --moves '4,4 5,4 6,4 7,4 8,4'", "one.log"), "--engine",
           brain("--name 'be]ta' --moves '4,5 5,5 6,5 7,5'", "two.log"), "--size", "9", "--games",
           "2", "--turn", "1000", "--psq", path("psq"), "--sgf", path("games.sgf")});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.count("Game 1 of 2: engine 1 (black) wins, five in a row; 9 moves; slowest reply "),
            1)
      << r.all();
  EXPECT_EQ(r.count("Game 2 of 2: engine 1 (white) wins, five in a row; 10 moves; slowest reply "),
            1);
  EXPECT_TRUE(r.has("Engine 1: alpha"));
  EXPECT_TRUE(r.has("Engine 2: be]ta"));
  EXPECT_TRUE(r.has("Engine 1: 2 wins, 0 losses, 0 draws in 2 games"));
  EXPECT_TRUE(r.has("Score of engine 1: 2.0 of 2 (100.0%)"));

  EXPECT_EQ(withoutTimes(readFile(path("psq/game001.psq"))),
            "Piskvorky 9x9, 11:11, 0\n"
            "5,5,#\n5,6,#\n6,5,#\n6,6,#\n7,5,#\n7,6,#\n8,5,#\n8,6,#\n9,5,#\n"
            "alpha\nbe]ta\n0\n");
  // Engine 2 is black in game 2; its script runs out and it plays 0,0.
  EXPECT_EQ(withoutTimes(readFile(path("psq/game002.psq"))),
            "Piskvorky 9x9, 11:11, 1\n"
            "5,6,#\n5,5,#\n6,6,#\n6,5,#\n7,6,#\n7,5,#\n8,6,#\n8,5,#\n1,1,#\n9,5,#\n"
            "alpha\nbe]ta\n0\n");
  EXPECT_TRUE(std::regex_search(readFile(path("psq/game001.psq")),
                                std::regex("^5,5,\\d{1,3}\n", std::regex::multiline)));
  EXPECT_EQ(readFile(path("games.sgf")),
            "(;GM[4]FF[4]SZ[9]PB[alpha]PW[be\\]ta]RE[B+1]"
            ";B[ee];W[ef];B[fe];W[ff];B[ge];W[gf];B[he];W[hf];B[ie])\n"
            "(;GM[4]FF[4]SZ[9]PB[be\\]ta]PW[alpha]RE[W+1]"
            ";B[ef];W[ee];B[ff];W[fe];B[gf];W[ge];B[hf];W[he];B[aa];W[ie])\n");

  const std::string settings =
      "INFO timeout_turn 1000\r\nINFO timeout_match 1000000000\r\n"
      "INFO max_memory 0\r\nINFO rule 0\r\nINFO folder " +
      path("data") + "/arena-engine1\r\n";
  const std::string left = "INFO time_left 1000000000\r\n";
  EXPECT_EQ(readFile(path("one.log")),
            "# start\nABOUT\r\nSTART 9\r\n" + settings + left + "BEGIN\r\n" + left +
                "TURN 4,5\r\n" + left + "TURN 5,5\r\n" + left + "TURN 6,5\r\n" + left +
                "TURN 7,5\r\n"
                "START 9\r\n" +
                settings + left + "BOARD\r\n4,5,2\r\nDONE\r\n" + left + "TURN 5,5\r\n" + left +
                "TURN 6,5\r\n" + left + "TURN 7,5\r\n" + left + "TURN 0,0\r\nEND\r\n");
  EXPECT_EQ(boardBlocks(readFile(path("two.log"))), std::vector<std::string>{"4,4,2\r\n"});
}

TEST_F(Arena, FullBoardIsADraw) {
  // 5x5 coloured so that no line holds five: black on (x + 2y) mod 4 < 2.
  ArenaRun r = run(
      {"--engine", brain("--moves '0,0 1,0 4,0 2,1 3,1 0,2 1,2 4,2 2,3 3,3 0,4 1,4 4,4'"),
       "--engine", brain("--moves '2,0 3,0 0,1 1,1 4,1 2,2 3,2 0,3 1,3 4,3 2,4 3,4'"), "--size",
       "5", "--games", "1", "--turn", "1000", "--psq", path("psq"), "--sgf", path("games.sgf")});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.count("Game 1 of 1: draw, board full; 25 moves;"), 1) << r.all();
  EXPECT_TRUE(r.has("Engine 1: 0 wins, 0 losses, 1 draws in 1 games"));
  EXPECT_TRUE(r.has("Score of engine 1: 0.5 of 1 (50.0%)"));
  // One drawn game has no spread: the margin is 0.
  EXPECT_TRUE(r.has("Elo difference: +0.0 +/- 0.0 (95%)")) << r.all();
  std::string psq = readFile(path("psq/game001.psq"));
  EXPECT_EQ(psq.substr(psq.size() - 2), "1\n");
  EXPECT_NE(readFile(path("games.sgf")).find("RE[0];B[aa];W[ca];"), std::string::npos);
}

TEST_F(Arena, EloDifferenceAndMarginFromTheScore) {
  // First-empty players on 5x5: black completes a diagonal and always wins,
  // so nine games give engine 1 five wins and four losses.
  ArenaRun r = run({"--engine", brain(""), "--engine", brain(""), "--size", "5", "--games", "9",
                    "--turn", "1000"});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.has("Engine 1: 5 wins, 4 losses, 0 draws in 9 games")) << r.all();
  EXPECT_TRUE(r.has("Score of engine 1: 5.0 of 9 (55.6%)"));
  // s = 5/9, Elo = 400 log10(5/4) = 38.76; se = sqrt(20/81 / 9) = 0.1656;
  // (Elo(s + 1.96 se) - Elo(s - 1.96 se)) / 2 = 277.7.
  EXPECT_TRUE(r.has("Elo difference: +38.8 +/- 277.7 (95%)")) << r.all();
}

// ---------------------------------------------------------------------------
// Openings and colours.

TEST_F(Arena, OpeningsArePlayedTwiceWithColoursSwapped) {
  std::ofstream(path("openings.txt")) << "# two openings\n0,0, 1,0, 0,1\n\n-1,-1, 1,1, 2,0\n";
  ArenaRun r =
      run({"--engine", brain("", "one.log"), "--engine", brain("", "two.log"), "--size", "9",
           "--turn", "1000", "--openings", path("openings.txt"), "--psq", path("psq")});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.count("Game 4 of 4: "), 1) << r.all();

  // Centre 4,4; the opening's stones are black, white, black, at 0 ms.
  for (const char* game : {"game001.psq", "game002.psq"}) {
    std::string psq = readFile(path("psq/") + game);
    EXPECT_EQ(psq.substr(psq.find('\n') + 1, 18), "5,5,0\n6,5,0\n5,6,0\n") << game;
  }
  EXPECT_EQ(readFile(path("psq/game003.psq")).substr(0, 42),
            "Piskvorky 9x9, 11:11, 0\n4,4,0\n6,6,0\n7,5,0\n");
  EXPECT_EQ(readFile(path("psq/game001.psq")).substr(0, 24), "Piskvorky 9x9, 11:11, 0\n");
  EXPECT_EQ(readFile(path("psq/game002.psq")).substr(0, 24), "Piskvorky 9x9, 11:11, 1\n");

  // Engine 2 is white in game 1 and moves first after the opening: it gets
  // the opening as BOARD with its own stone as 1. In game 2 engine 1 is.
  std::vector<std::string> one = boardBlocks(readFile(path("one.log")));
  std::vector<std::string> two = boardBlocks(readFile(path("two.log")));
  ASSERT_EQ(one.size(), 4u);
  ASSERT_EQ(two.size(), 4u);
  EXPECT_EQ(two[0], "4,4,2\r\n5,4,1\r\n4,5,2\r\n");
  EXPECT_EQ(one[1], "4,4,2\r\n5,4,1\r\n4,5,2\r\n");
  EXPECT_EQ(two[2], "3,3,2\r\n5,5,1\r\n6,4,2\r\n");
  EXPECT_EQ(one[3], "3,3,2\r\n5,5,1\r\n6,4,2\r\n");
  // Black's first request in game 1 carries the opening and white's reply:
  // first empty in index order, 0,0.
  EXPECT_EQ(one[0], "4,4,1\r\n5,4,2\r\n4,5,1\r\n0,0,2\r\n");
}

TEST_F(Arena, BadOpeningFileStopsBeforeAnyGame) {
  std::ofstream(path("far.txt")) << "0,0, 5,0\n";
  ArenaRun r = run(
      {"--engine", brain(""), "--engine", brain(""), "--size", "9", "--openings", path("far.txt")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.count("Game "), 0);
  std::ofstream(path("odd.txt")) << "0,0, 1\n";
  r = run({"--engine", brain(""), "--engine", brain(""), "--openings", path("odd.txt")});
  EXPECT_EQ(r.exitCode, 2);
}

// ---------------------------------------------------------------------------
// The real brain: one process for the whole match, a fresh game each time.

TEST_F(Arena, RealBrainAnswersTheCentreToBeginInEveryGame) {
  // Engine 2 answers ERROR to every request, so games are short; the brain
  // is black in games 1 and 3 and gets BEGIN there.
  ArenaRun r = run({"--engine", VELMARO_BRAIN, "--engine", brain("--mode error --at 1"), "--size",
                    "15", "--games", "3", "--turn", "1000", "--psq", path("psq"), "--show"});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.has("Engine 1: velmaro")) << r.all();
  EXPECT_TRUE(r.has("Engine 1: 3 wins, 0 losses, 0 draws in 3 games")) << r.all();
  for (const char* game : {"game001.psq", "game003.psq"}) {
    std::string psq = readFile(path("psq/") + game);
    EXPECT_EQ(psq.substr(psq.find('\n') + 1, 4), "8,8,") << game;
  }
  // One process: the player is created once; START alone began games 2, 3.
  EXPECT_EQ(r.count("[engine 1] MESSAGE creating player"), 1) << r.all();
  EXPECT_EQ(r.count("[engine 1] MESSAGE restarting player"), 0);
  EXPECT_TRUE(fileExists(path("data/arena-engine1/velmaro/velmaro.log")));
}

}  // namespace
