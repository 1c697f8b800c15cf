// The match runner as a user runs it: velmaro-arena started as a process
// against scripted test brains (and once against the real brain), judged by
// its printed lines, the records it writes and what the brains received.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
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

  void start(const std::vector<std::string>& args, tools::ChildProcess& process) const {
    std::vector<std::string> argv = {kArena, "--folder", path("data")};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_TRUE(process.start(argv, temp.path()));
  }

  // The rest of the arena's output, and its exit code.
  static void finish(tools::ChildProcess& process, ArenaRun& result) {
    std::string line;
    while (process.readLine(line, kLineTimeoutMs)) result.lines.push_back(line);
    EXPECT_FALSE(process.timedOut()) << result.all();
    EXPECT_TRUE(process.waitExit(kLineTimeoutMs, result.exitCode));
  }

  ArenaRun run(const std::vector<std::string>& args) const {
    tools::ChildProcess process;
    ArenaRun result;
    start(args, process);
    finish(process, result);
    return result;
  }

  // Waits until `text` occurs `times` times in the file (a brain's log).
  void awaitInFile(const std::string& name, const std::string& text, int times) const;
  // The test brains that wrote their process ids into the file and still run.
  std::vector<int> runningBrains(const std::string& name) const;
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

void Arena::awaitInFile(const std::string& name, const std::string& text, int times) const {
  constexpr auto kStep = std::chrono::milliseconds(10);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kLineTimeoutMs);
  while (countOf(fileExists(path(name)) ? readFile(path(name)) : "", text) < times) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << name << " never got " << text;
    std::this_thread::sleep_for(kStep);
  }
}

std::vector<int> Arena::runningBrains(const std::string& name) const {
  std::vector<int> running;
  std::istringstream pids(readFile(path(name)));
  for (int pid = 0; pids >> pid;) {
    if (::kill(pid, 0) == 0 || errno != ESRCH) running.push_back(pid);
  }
  return running;
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
// Games at once, the SPRT, Ctrl-C and the match clock.

// The result lines without the measured reply times.
std::vector<std::string> resultLines(const ArenaRun& r) {
  std::vector<std::string> lines;
  for (const std::string& l : r.lines) {
    if (l.rfind("Game ", 0) == 0) lines.push_back(l.substr(0, l.find("; slowest reply")));
  }
  return lines;
}

TEST_F(Arena, ConcurrentGamesWriteTheRecordsOfOneAtATime) {
  // Engine 1 crashes in game 1 only, the one where it owns the centre 4,4
  // (opening 1, engine 1 black); the other games run on beside it.
  std::ofstream(path("openings.txt")) << "0,0, 1,0, 0,1\n-1,-1, 1,1, 2,0\n2,2, 1,1, -2,0\n";
  const std::string one = brain("--mode crash --at 2 --if-mine 4,4 --pids " + path("pids"));
  const std::string two = brain("--pids " + path("pids"));
  ArenaRun runs[2];
  const char* concurrency[2] = {"1", "3"};
  for (int i = 0; i < 2; ++i) {
    const std::string folder = std::string("n") + concurrency[i];
    runs[i] = run({"--engine", one, "--engine", two, "--size", "9", "--turn", "1000", "--openings",
                   path("openings.txt"), "--concurrency", concurrency[i], "--psq",
                   path(folder + "/psq"), "--sgf", path(folder + "/games.sgf")});
    ASSERT_EQ(runs[i].exitCode, 0) << runs[i].all();
    EXPECT_EQ(runs[i].count("crashed"), 1) << runs[i].all();
    EXPECT_TRUE(
        runs[i].has("Progress: 6 of 6 games; score 2.0 (33.3%); Elo -120.4 +/- 334.6 (95%)"))
        << runs[i].all();
  }
  EXPECT_EQ(resultLines(runs[0]), resultLines(runs[1]));
  EXPECT_EQ(resultLines(runs[1]).at(0),
            "Game 1 of 6: engine 2 (white) wins, engine 1 crashed (signal 6); 6 moves");
  for (int game = 1; game <= 6; ++game) {
    const std::string psq = "/psq/game00" + std::to_string(game) + ".psq";
    EXPECT_EQ(withoutTimes(readFile(path("n1") + psq)), withoutTimes(readFile(path("n3") + psq)));
  }
  EXPECT_EQ(readFile(path("n1/games.sgf")), readFile(path("n3/games.sgf")));
  EXPECT_TRUE(fileExists(path("data/arena-engine2-slot3")));
  EXPECT_EQ(runningBrains("pids"), std::vector<int>{});
}

TEST_F(Arena, SprtStopsTheMatchOnAPairOrAGame) {
  // Engine 2 answers ERROR, so engine 1 wins every game. With openings the
  // LLR moves once per pair and H1 wins after 12 pairs; the games of the
  // second slot beyond them are broken off. Without openings it moves once
  // per game, and the losing side is accepted as H0.
  std::ofstream(path("openings.txt")) << "0,0, 1,0, 0,1\n";
  const std::string error = brain("--mode error --at 1 --pids " + path("pids"));
  ArenaRun r = run({"--engine", brain(""), "--engine", error, "--size", "9", "--games", "100",
                    "--openings", path("openings.txt"), "--concurrency", "2", "--psq", path("psq"),
                    "--sprt", "elo0=0", "elo1=100"});
  ASSERT_EQ(r.exitCode, 0) << r.all();
  EXPECT_TRUE(
      r.has("Progress: 23 of 100 games, SPRT running; score 23.0 (100.0%); Elo +inf; "
            "LLR 2.72 (-2.94, 2.94)"))
      << r.all();
  EXPECT_TRUE(r.has("SPRT: H1 accepted after 24 games (LLR 2.96)"));
  EXPECT_EQ(r.count("Game "), 24);
  EXPECT_FALSE(fileExists(path("psq/game025.psq")));
  EXPECT_TRUE(
      r.has("Pentanomial counts (pairs scoring 0, 0.5, 1, 1.5, 2 points): "
            "0, 0, 0, 0, 12 in 12 pairs"));
  EXPECT_TRUE(
      r.has("SPRT elo0=0 elo1=100 alpha=0.05 beta=0.05: LLR 2.96 (-2.94, 2.94), H1 accepted"));

  r = run({"--engine", error, "--engine", brain(""), "--size", "9", "--games", "100", "--sprt",
           "elo0=0", "elo1=100", "beta=0.1"});
  ASSERT_EQ(r.exitCode, 0) << r.all();
  EXPECT_EQ(r.count("SPRT: H0 accepted after "), 1) << r.all();
  EXPECT_TRUE(r.has("LOS of engine 1: 0.0% (from the single games)"));
  EXPECT_EQ(runningBrains("pids"), std::vector<int>{});
}

TEST_F(Arena, CtrlCFinishesTheRunningGamesAndASecondBreaksThemOff) {
  // Two games at once, each begun (its START logged) before the Ctrl-C.
  const std::vector<std::string> slow = {
      "--engine",      brain("--delay 200 --pids " + path("pids"), "one.log"),
      "--engine",      brain("--pids " + path("pids")),
      "--size",        "5",
      "--games",       "20",
      "--concurrency", "2"};
  tools::ChildProcess process;
  ArenaRun r;
  start(slow, process);
  awaitInFile("one.log", "START 5", 2);
  ::kill(process.processId(), SIGINT);
  finish(process, r);
  EXPECT_EQ(r.exitCode, 130);
  EXPECT_EQ(r.lines.front(),
            "Ctrl-C: no new games; the running ones finish (Ctrl-C again breaks them off)");
  EXPECT_EQ(r.count("Game "), 2) << r.all();
  EXPECT_TRUE(r.has("Engine 1: 1 wins, 1 losses, 0 draws in 2 games"));
  EXPECT_EQ(runningBrains("pids"), std::vector<int>{});

  // Both games hang on engine 1's second move until the second Ctrl-C.
  std::remove(path("one.log").c_str());
  std::vector<std::string> hanging = slow;
  hanging[1] = brain("--mode hang --at 2 --pids " + path("pids"), "one.log");
  hanging.insert(hanging.end(), {"--turn", "60000"});
  tools::ChildProcess second;
  ArenaRun s;
  start(hanging, second);
  awaitInFile("one.log", "START 5", 2);
  ::kill(second.processId(), SIGINT);
  std::string line;
  ASSERT_TRUE(second.readLine(line, kLineTimeoutMs));
  ::kill(second.processId(), SIGINT);
  finish(second, s);
  EXPECT_EQ(s.exitCode, 130);
  EXPECT_EQ(s.lines.front(), "Stopping: the running games are broken off and not counted");
  EXPECT_TRUE(s.has("Engine 1: 0 wins, 0 losses, 0 draws in 0 games")) << s.all();
  EXPECT_EQ(runningBrains("pids"), std::vector<int>{});
}

TEST_F(Arena, MatchClockWithIncrement) {
  // 150 ms a move: a 400 ms clock that gains 200 ms a move only grows...
  ArenaRun r = run({"--engine", brain("--delay 150", "one.log"), "--engine", brain(""), "--size",
                    "5", "--games", "1", "--tc", "0.4+0.2", "--tolerance", "50"});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.count("Game 1 of 1: engine 1 (black) wins, five in a row; 21 moves;"), 1) << r.all();
  const std::string log = readFile(path("one.log"));
  EXPECT_NE(log.find("INFO timeout_turn 400\r\nINFO timeout_match 400\r\n"), std::string::npos);
  std::vector<int> left;
  const std::regex timeLeft("INFO time_left (\\d+)\r\n");
  for (auto it = std::sregex_iterator(log.begin(), log.end(), timeLeft);
       it != std::sregex_iterator(); ++it) {
    left.push_back(std::stoi((*it)[1]));
  }
  ASSERT_EQ(left.size(), 11u);
  EXPECT_EQ(left.front(), 400);
  EXPECT_GT(left.back(), left.front());

  // ... and one of 300 ms without an increment is empty at the third move.
  r = run({"--engine", brain("--delay 150"), "--engine", brain(""), "--size", "5", "--games", "1",
           "--tc", "0.3", "--tolerance", "50", "--psq", path("psq")});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_TRUE(std::regex_search(
      r.all(), std::regex("Game 1 of 1: engine 2 \\(white\\) wins, engine 1 ran out of its clock "
                          "\\(no reply within \\d+ ms: -?\\d+ ms on the clock \\+ 50 ms "
                          "tolerance\\); 4 moves;")))
      << r.all();
  const std::string psq = readFile(path("psq/game001.psq"));
  EXPECT_EQ(psq.substr(psq.size() - 2), "4\n");
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
