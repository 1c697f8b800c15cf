// The match runner as a user runs it, against scripted test brains (and once the real brain),
// judged by its printed lines, the records it writes and what the brains received.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "arena_support.h"

namespace {

using namespace testing_support;
using Args = std::vector<std::string>;

void expectLines(const Output& out, const Args& lines) {
  for (const std::string& line : lines) EXPECT_TRUE(out.has(line)) << line << " not in" << out.text;
}

// Every BOARD block (the lines between BOARD and DONE) in a transcript.
Args boardBlocks(const std::string& transcript) {
  Args blocks;
  for (std::size_t at = 0; (at = transcript.find("BOARD\r\n", at)) != std::string::npos;) {
    at += std::string("BOARD\r\n").size();
    blocks.push_back(transcript.substr(at, transcript.find("DONE\r\n", at) - at));
  }
  return blocks;
}

class Arena : public ::testing::Test {
 protected:
  TempFolder temp;

  std::string path(const std::string& name) const { return temp.path() + "/" + name; }
  std::string psq(int game, const std::string& folder = "psq") const {
    return readFile(path(folder) + "/game00" + std::to_string(game) + ".psq");
  }
  // A test brain's command; `log` names its transcript in the temp folder.
  std::string brain(const std::string& args, const std::string& log = "") const {
    return testBrain(args, log.empty() ? "" : path(log));
  }
  // Runs a match of the two engine commands to its end, in the temp folder,
  // with the options (split at blanks); `during` acts on it while it runs.
  Output run(const std::string& one, const std::string& two, const std::string& options,
             const std::function<void(tools::ChildProcess&)>& during = {}) {
    Args argv = {"--engine", one, "--engine", two};
    std::istringstream words(options);
    for (std::string word; words >> word;) argv.push_back(word);
    return runArgs(argv, during, false);
  }
  // The same with the arena's arguments as given, after its --folder (but
  // for `merge`); `errors`: standard error joins the output.
  Output runArgs(const Args& args, const std::function<void(tools::ChildProcess&)>& during = {},
                 bool errors = true) {
    Args argv = {kArena};
    if (args.empty() || args[0] != "merge") argv.insert(argv.end(), {"--folder", path("data")});
    argv.insert(argv.end(), args.begin(), args.end());
    if (errors) argv.insert(argv.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1"});
    return runToEnd(argv, temp.path(), during);
  }
};

// Each fault loses both games (engine 1 black, then white) with its reason
// and end code, and the match goes on; `starts` counts engine 1's processes.
TEST_F(Arena, EachFaultLosesWithItsReasonAndTheMatchGoesOn) {
  const std::tuple<const char*, const char*, char, int> faults[] = {
      {"--mode crash --at 2", "engine 1 crashed (signal 6)", '2', 2},
      {"--mode exit --at 1", "engine 1 crashed (exit code 3)", '2', 2},
      {"--mode hang --at 2", "engine 1 exceeded the turn time (no reply within 300 ms)", '3', 2},
      {"--mode occupied --at 2", "engine 1 played on an occupied square (0,0)", '5', 1},
      {"--mode offboard --at 1", "engine 1 played off the board (7,0)", '5', 1},
      {"--mode error --at 2", "engine 1 answered \"ERROR something went wrong\"", '6', 1},
      // The brain's fatal-error line, followed by its exit: restarted.
      {"--mode fatal --at 2", "engine 1 answered \"Error: Internal test\"", '6', 2},
      {"--mode garbage --at 1", "engine 1 answered \"hello there\", which is not a move", '7', 1},
      {"--mode starterror", "engine 1 answered START with \"ERROR start refused\"", '8', 1},
  };
  for (const auto& [args, reason, endCode, starts] : faults) {
    SCOPED_TRACE(args);
    std::filesystem::remove_all(path("psq"));
    std::filesystem::remove(path("one.log"));
    Output out = run(brain(args, "one.log"), brain(""),
                     "--size 7 --games 2 --turn 200 --tolerance 100 --psq psq");
    EXPECT_EQ(out.code, 0);
    EXPECT_EQ(out.count(std::string("engine 2 (white) wins, ") + reason + ";"), 1) << out.text;
    EXPECT_EQ(out.count(std::string("engine 2 (black) wins, ") + reason + ";"), 1);
    expectLines(out, {"Engine 1: 0 wins, 2 losses, 0 draws in 2 games", "Elo difference: -inf"});
    for (int game : {1, 2}) EXPECT_TRUE(psq(game).ends_with(std::string{'\n', endCode, '\n'}));
    EXPECT_EQ(countOf(readFile(path("one.log")), "# start\n"), starts);
  }
}

// The scripts, then first-empty play, fill the 5x5 board without five in both games. --show draws
// every position, its last stone marked, and prints engine 1's MESSAGE and DEBUG lines, none of
// them taken as a reply.
TEST_F(Arena, FullBoardDrawsShownWithTheBrainsMessages) {
  Output out = run(brain("--messages --moves '2,2 3,3'"), brain("--moves '2,3'"),
                   "--size 5 --games 2 --turn 500 --show --psq psq --sgf games.sgf");
  EXPECT_EQ(out.code, 0);
  EXPECT_EQ(out.count(" of 2: draw, board full; 25 moves;"), 2) << out.text;
  // Two draws have no spread: the margin is 0.
  expectLines(out, {"Progress: 2 of 2 games; score 1.0 (50.0%); Elo +0.0 +/- 0.0 (95%)",
                    "Engine 1: 0 wins, 0 losses, 2 draws in 2 games",
                    "Score of engine 1: 1.0 of 2 (50.0%)", "Elo difference: +0.0 +/- 0.0 (95%)"});
  EXPECT_TRUE(psq(1).ends_with("\n1\n"));
  // Engine 1's MESSAGE lines are still the comments of its stones.
  EXPECT_EQ(countOf(readFile(path("games.sgf")), "C[thinking about move 1]"), 2);
  EXPECT_EQ(out.count("\n  [engine 1] MESSAGE thinking about move 1\n"), 2);
  EXPECT_EQ(out.count("\n  [engine 1] DEBUG 7,7 looks good\n"), 25);  // 13 + 12 moves
  EXPECT_EQ(out.count("[engine 2] "), 0);
  EXPECT_NE(std::regex_replace(out.text, std::regex("\\d+ ms\\)"), "# ms)")
                .find("\nGame 1, move 3: X plays 3,3 (# ms)\n"
                      "    0  1  2  3  4 \n"
                      " 0  .  .  .  .  . \n"
                      " 1  .  .  .  .  . \n"
                      " 2  .  .  X  .  . \n"
                      " 3  .  .  O [X] . \n"
                      " 4  .  .  .  .  . \n"),
            std::string::npos);
}

// Each engine's own INFO lines follow the arena's settings after every START, in the order given;
// the other engine gets none of them.
TEST_F(Arena, ScriptedMatchWritesExactRecordsAndTranscript) {
  const std::string one = brain("--name alpha --moves '4,4 5,4 6,4 7,4 8,4'", "one.log");
  const std::string two = brain("--name 'be]ta' --moves '4,5 5,5 6,5 7,5'", "two.log");
  Output out = runArgs(
      {"--engine", one,        "--engine-info", "thread_num 2",  "--engine-info", "max_node 5000",
       "--engine", two,        "--engine-info", "show_detail 0", "--size",        "9",
       "--games",  "2",        "--turn",        "1000",          "--psq",         "psq",
       "--sgf",    "games.sgf"});
  EXPECT_EQ(out.code, 0);
  EXPECT_EQ(out.count("\nGame 1 of 2: engine 1 (black) wins, five in a row; 9 moves; slowest "), 1)
      << out.text;
  EXPECT_EQ(out.count("\nGame 2 of 2: engine 1 (white) wins, five in a row; 10 moves; slowest "),
            1);
  expectLines(
      out, {"Engine 1: alpha", "Engine 2: be]ta", "Engine 1: 2 wins, 0 losses, 0 draws in 2 games",
            "Score of engine 1: 2.0 of 2 (100.0%)"});
  EXPECT_EQ(withoutTimes(psq(1)),
            "Piskvorky 9x9, 11:11, 0\n"
            "5,5,#\n5,6,#\n6,5,#\n6,6,#\n7,5,#\n7,6,#\n8,5,#\n8,6,#\n9,5,#\n"
            "alpha\nbe]ta\n0\n");
  EXPECT_TRUE(std::regex_search(psq(1), std::regex("^5,5,\\d{1,3}\n", std::regex::multiline)));
  // Engine 2 is black in game 2; its script runs out and it plays 0,0.
  EXPECT_EQ(withoutTimes(psq(2)),
            "Piskvorky 9x9, 11:11, 1\n"
            "5,6,#\n5,5,#\n6,6,#\n6,5,#\n7,6,#\n7,5,#\n8,6,#\n8,5,#\n1,1,#\n9,5,#\n"
            "alpha\nbe]ta\n0\n");
  EXPECT_EQ(readFile(path("games.sgf")),
            "(;GM[4]FF[4]SZ[9]PB[alpha]PW[be\\]ta]RE[B+1]"
            ";B[ee];W[ef];B[fe];W[ff];B[ge];W[gf];B[he];W[hf];B[ie])\n"
            "(;GM[4]FF[4]SZ[9]PB[be\\]ta]PW[alpha]RE[W+1]"
            ";B[ef];W[ee];B[ff];W[fe];B[gf];W[ge];B[hf];W[he];B[aa];W[ie])\n");

  const std::string settings =
      "INFO timeout_turn 1000\r\nINFO timeout_match 1000000000\r\nINFO max_memory 0\r\n"
      "INFO rule 0\r\nINFO folder " +
      path("data") + "/arena-engine1\r\nINFO thread_num 2\r\nINFO max_node 5000\r\n";
  const std::string left = "INFO time_left 1000000000\r\n";
  EXPECT_EQ(readFile(path("one.log")),
            "# start\nABOUT\r\nSTART 9\r\n" + settings + left + "BEGIN\r\n" + left +
                "TURN 4,5\r\n" + left + "TURN 5,5\r\n" + left + "TURN 6,5\r\n" + left +
                "TURN 7,5\r\n"
                "START 9\r\n" +
                settings + left + "BOARD\r\n4,5,2\r\nDONE\r\n" + left + "TURN 5,5\r\n" + left +
                "TURN 6,5\r\n" + left + "TURN 7,5\r\n" + left + "TURN 0,0\r\nEND\r\n");
  const std::string log = readFile(path("two.log"));
  EXPECT_EQ(boardBlocks(log), Args{"4,4,2\r\n"});
  EXPECT_EQ(countOf(log, "/arena-engine2\r\nINFO show_detail 0\r\nINFO time_left"), 2);
}

TEST_F(Arena, OpeningsArePlayedTwiceWithColoursSwappedAndBadOnesStopTheArena) {
  std::ofstream(path("openings.txt")) << "# two openings\n0,0, 1,0, 0,1\n\n-1,-1, 1,1, 2,0\n";
  Output out = run(brain("", "one.log"), brain("", "two.log"),
                   "--size 9 --turn 1000 --openings openings.txt --psq psq");
  EXPECT_EQ(out.code, 0);
  EXPECT_EQ(out.count("\nGame 4 of 4: "), 1) << out.text;
  // Centre 4,4; the opening's stones are black, white, black, at 0 ms.
  const std::string head = "Piskvorky 9x9, 11:11, ";
  EXPECT_EQ(psq(1).substr(0, 42), head + "0\n5,5,0\n6,5,0\n5,6,0\n");
  EXPECT_EQ(psq(2).substr(0, 42), head + "1\n5,5,0\n6,5,0\n5,6,0\n");
  EXPECT_EQ(psq(3).substr(0, 42), head + "0\n4,4,0\n6,6,0\n7,5,0\n");
  EXPECT_EQ(psq(4).substr(0, 42), head + "1\n4,4,0\n6,6,0\n7,5,0\n");
  // White moves first after the opening and gets it as BOARD, its own stone
  // as 1; black gets it next with white's reply, the first empty square 0,0.
  const std::string a = "4,4,1\r\n5,4,2\r\n4,5,1\r\n", b = "3,3,1\r\n5,5,2\r\n6,4,1\r\n";
  const std::string aWhite = "4,4,2\r\n5,4,1\r\n4,5,2\r\n", bWhite = "3,3,2\r\n5,5,1\r\n6,4,2\r\n";
  const std::string reply = "0,0,2\r\n";
  EXPECT_EQ(boardBlocks(readFile(path("one.log"))), (Args{a + reply, aWhite, b + reply, bWhite}));
  EXPECT_EQ(boardBlocks(readFile(path("two.log"))), (Args{aWhite, a + reply, bWhite, b + reply}));

  for (const char* bad : {"0,0, 5,0\n", "0,0, 1\n"}) {  // off the 9x9 board; half a stone
    std::ofstream(path("bad.txt")) << bad;
    out = run(brain(""), brain(""), "--size 9 --openings bad.txt");
    EXPECT_EQ(out.code, 2) << bad;
    EXPECT_EQ(out.count("Game "), 0) << bad;
  }
}

TEST_F(Arena, SprtStopsTheMatchOnAPairOrAGame) {
  // Engine 2 answers ERROR, so engine 1 wins every game. With openings the LLR moves once per
  // pair and H1 wins after 12 pairs; the games of the second slot beyond them are broken off.
  // Without openings it moves once per game, and the losing side is accepted as H0.
  std::ofstream(path("openings.txt")) << "0,0, 1,0, 0,1\n";
  const std::string error = brain("--mode error --at 1 --pids " + path("pids"));
  Output out = run(brain(""), error,
                   "--size 9 --games 100 --openings openings.txt --concurrency 2 --psq psq --sprt "
                   "elo0=0 elo1=100");
  EXPECT_EQ(out.code, 0);
  expectLines(out,
              {"Progress: 23 of 100 games, SPRT running; score 23.0 (100.0%); Elo +inf; "
               "LLR 2.72 (-2.94, 2.94)",
               "SPRT: H1 accepted after 24 games (LLR 2.96)",
               "Pentanomial counts (pairs scoring 0, 0.5, 1, 1.5, 2 points): "
               "0, 0, 0, 0, 12 in 12 pairs",
               "SPRT elo0=0 elo1=100 alpha=0.05 beta=0.05: LLR 2.96 (-2.94, 2.94), H1 accepted"});
  EXPECT_EQ(out.count("\nGame "), 24);
  EXPECT_FALSE(fileExists(path("psq/game025.psq")));

  out = run(error, brain(""), "--size 9 --games 100 --sprt elo0=0 elo1=100 beta=0.1");
  EXPECT_EQ(out.code, 0);
  EXPECT_EQ(out.count("\nSPRT: H0 accepted after "), 1) << out.text;
  expectLines(out, {"LOS of engine 1: 0.0% (from the single games)"});
  EXPECT_EQ(runningPids(path("pids")), std::vector<int>{});
}

// Two games at once, each begun (its START logged) before the Ctrl-C; in the second match both
// hang on engine 1's second move. The first is a shard: it writes the games it counted, marked
// unfinished, and merge says so.
TEST_F(Arena, CtrlCFinishesTheRunningGamesAndASecondBreaksThemOff) {
  for (bool hang : {false, true}) {
    const std::string one = hang ? "--mode hang --at 2" : "--delay 200";
    const std::string log = hang ? "hang.log" : "slow.log";
    const std::string shard = hang ? "" : " --shard 2/2 --results part.json";
    std::string first;
    Output out =
        run(brain(one + " --pids " + path("pids"), log), brain("--pids " + path("pids")),
            "--size 5 --games 20 --concurrency 2 --turn 60000" + shard,
            [&](tools::ChildProcess& arena) {
              EXPECT_TRUE(hang || arena.readLine(first, kLineTimeoutMs));  // "Shard 2/2: ..."
              EXPECT_TRUE(eventually([&] { return countOf(readFile(path(log)), "START 5") >= 2; }));
              ::kill(arena.processId(), SIGINT);
              EXPECT_TRUE(arena.readLine(first, kLineTimeoutMs));
              if (hang) ::kill(arena.processId(), SIGINT);
            });
    EXPECT_EQ(out.code, 130);
    EXPECT_EQ(first,
              "Ctrl-C: no new games; the running ones finish (Ctrl-C again breaks them off)");
    EXPECT_EQ(out.begins("Stopping: the running games are broken off and not counted\n"), hang);
    EXPECT_EQ(out.count("\nGame "), hang ? 0 : 2) << out.text;
    expectLines(out, {hang ? "Engine 1: 0 wins, 0 losses, 0 draws in 0 games"
                           : "Engine 1: 1 wins, 1 losses, 0 draws in 2 games"});
    EXPECT_EQ(runningPids(path("pids")), std::vector<int>{});
  }
  const std::string part = readFile(path("part.json"));
  EXPECT_NE(part.find("{\"game\":4,"), std::string::npos) << part;
  EXPECT_EQ(part.find("{\"game\":7,"), std::string::npos);
  EXPECT_FALSE(fileExists(path("part.json.tmp")));
  Output merged = runArgs({"merge", path("part.json")});
  EXPECT_EQ(merged.code, 0);
  EXPECT_TRUE(merged.begins(
      "Merged 1 results file: shard 2 of 2 (not all finished); 2 of the match's 20 games\n"))
      << merged.text;
}

TEST_F(Arena, MatchTimeAndClockLosses) {
  // 200 ms a move against a 500 ms game: the third reply comes too late.
  Output out = run(brain("--delay 200", "match.log"), brain(""),
                   "--size 9 --games 1 --turn 1000 --match 500 --tolerance 50");
  EXPECT_EQ(out.code, 0);
  EXPECT_TRUE(
      out.matches("\nGame 1 of 1: engine 2 \\(white\\) wins, engine 1 exceeded the match "
                  "time \\((no reply within \\d+ ms|\\d+ ms used)\\);"))
      << out.text;
  std::string log = readFile(path("match.log"));
  EXPECT_NE(log.find("INFO timeout_match 500\r\n"), std::string::npos);
  EXPECT_NE(log.find("INFO time_left 500\r\nBEGIN\r\n"), std::string::npos);
  const int left = std::stoi(log.substr(log.find("INFO time_left ", log.find("BEGIN")) + 15));
  EXPECT_LT(left, 320);  // 500 less the first reply
  EXPECT_GT(left, 150);

  // 150 ms a move: a 400 ms clock that gains 200 ms a move only grows...
  out = run(brain("--delay 150", "clock.log"), brain(""),
            "--size 5 --games 1 --tc 0.4+0.2 --tolerance 50");
  EXPECT_EQ(out.code, 0);
  EXPECT_EQ(out.count("\nGame 1 of 1: engine 1 (black) wins, five in a row; 21 moves;"), 1)
      << out.text;
  log = readFile(path("clock.log"));
  EXPECT_NE(log.find("INFO timeout_turn 400\r\nINFO timeout_match 400\r\n"), std::string::npos);
  EXPECT_EQ(countOf(log, "INFO time_left "), 11);
  EXPECT_NE(log.find("INFO time_left 400\r\nBEGIN\r\n"), std::string::npos);
  EXPECT_GT(std::stoi(log.substr(log.rfind("INFO time_left ") + 15)), 400);

  // ... and one of 300 ms without an increment is empty at the third move.
  out =
      run(brain("--delay 150"), brain(""), "--size 5 --games 1 --tc 0.3 --tolerance 50 --psq psq");
  EXPECT_EQ(out.code, 0);
  EXPECT_TRUE(
      out.matches("\nGame 1 of 1: engine 2 \\(white\\) wins, engine 1 ran out of its clock "
                  "\\(no reply within \\d+ ms: -?\\d+ ms on the clock \\+ 50 ms "
                  "tolerance\\); 4 moves;"))
      << out.text;
  EXPECT_TRUE(psq(1).ends_with("\n4\n"));
}

// Every MESSAGE line is kept: in the SGF as the comment of the stone it came before (or of the
// last stone, when it came before a losing reply), and in the --messages file with its game,
// engine and move, games in match order also when two are played at once.
TEST_F(Arena, MessagesAreKeptInTheSgfAndTheMessagesFile) {
  Output out = run(brain("--messages --say 'ready ]\\' --mode error --at 3"),
                   brain("--say hello --delay 100"),
                   "--size 5 --games 2 --turn 1000 --concurrency 2 --sgf games.sgf --messages "
                   "messages.txt");
  EXPECT_EQ(out.code, 0) << out.text;
  EXPECT_EQ(readFile(path("games.sgf")),
            "(;GM[4]FF[4]SZ[5]PB[test-brain]PW[test-brain]RE[W+1]"
            ";B[aa]C[ready \\]\\\\\nengine 2: hello\nthinking about move 1];W[ab]"
            ";B[ac]C[thinking about move 2];W[ad]C[engine 1: thinking about move 3])\n"
            "(;GM[4]FF[4]SZ[5]PB[test-brain]PW[test-brain]RE[B+1]"
            ";B[aa]C[hello\nengine 1: ready \\]\\\\];W[ab]C[thinking about move 1]"
            ";B[ac];W[ad]C[thinking about move 2];B[ae]C[engine 1: thinking about move 3])\n");
  EXPECT_EQ(readFile(path("messages.txt")),
            "game 1 engine 1 move 1 ready ]\\\n"
            "game 1 engine 2 move 1 hello\n"
            "game 1 engine 1 move 1 thinking about move 1\n"
            "game 1 engine 1 move 3 thinking about move 2\n"
            "game 1 engine 1 move 5 thinking about move 3\n"
            "game 2 engine 2 move 1 hello\n"
            "game 2 engine 1 move 1 ready ]\\\n"
            "game 2 engine 1 move 2 thinking about move 1\n"
            "game 2 engine 1 move 4 thinking about move 2\n"
            "game 2 engine 1 move 6 thinking about move 3\n");
}

// The real brain: one process for the whole match, a fresh game each time, begun at the centre
// where it is black (games 1 and 3). Its detail lines, asked for with --engine-info, are in the
// records: each decision's iterations up to max_depth and its closing line, whose move is the
// stone that follows it; the player is created once and never restarted.
TEST_F(Arena, RealBrainPlaysEveryGameAndItsDetailLinesAreKeptWithTheMoveTheyChose) {
  Output out =
      runArgs({"--engine",    VELMARO_BRAIN, "--engine-info", "show_detail 1", "--engine-info",
               "max_depth 4", "--engine",    brain(""),       "--size",        "9",
               "--games",     "3",           "--turn",        "2000",          "--psq",
               "psq",         "--messages",  "messages.txt",  "--sgf",         "games.sgf"});
  EXPECT_EQ(out.code, 0) << out.text;
  expectLines(out, {"Engine 1: velmaro", "Engine 1: 3 wins, 0 losses, 0 draws in 3 games"});
  for (int game : {1, 3}) EXPECT_EQ(psq(game).substr(psq(game).find('\n') + 1, 4), "5,5,") << game;
  EXPECT_TRUE(fileExists(path("data/arena-engine1/velmaro/velmaro.log")));
  // Every line is one of these (a restarted player's would not be).
  std::istringstream lines(readFile(path("messages.txt")));
  const std::regex detail(
      "game ([123]) engine 1 move (\\d+) (depth ([24]) score (-?\\d+|(win|loss) in \\d+) nodes "
      "\\d+ nps \\d+ time \\d+ pv( \\d,\\d)+|best (\\d),(\\d) by (opening rule|forced reply|search "
      "depth [24])|creating player)");
  int bests = 0, depths = 0;
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, detail)) << line;
    if (m[4].matched) ++depths;
    if (!m[8].matched) continue;
    ++bests;
    // The closing line names the stone played next: its .psq line is 1-based.
    std::istringstream psqLines(psq(std::stoi(m[1])));
    std::string stone;
    for (int i = 0; i <= std::stoi(m[2]); ++i) std::getline(psqLines, stone);
    EXPECT_EQ(stone.substr(0, 4),
              std::to_string(std::stoi(m[8]) + 1) + "," + std::to_string(std::stoi(m[9]) + 1) + ",")
        << line;
  }
  // Every stone of the brain has its closing line, and they are in the SGF too.
  const std::string sgf = readFile(path("games.sgf"));
  int brainStones = 0;
  for (int game : {1, 2, 3}) brainStones += (countOf(psq(game), "\n") - 4 + game % 2) / 2;
  EXPECT_EQ(bests, brainStones);
  EXPECT_GT(depths, 0);
  EXPECT_EQ(countOf(sgf, "best "), bests);
  EXPECT_EQ(countOf(sgf, "C[creating player\nbest "), 1) << sgf;
}

// A bad command line stops the arena with its reason, the usage and exit code 2, before any
// brain starts.
TEST_F(Arena, BadCommandLinesStopTheArenaBeforeAnyBrainStarts) {
  const std::string b = brain("--pids " + path("pids")), a1 = path("a1.json");
  const std::tuple<Args, std::string> cases[] = {
      {{"--engine-info", "thread_num 2", "--engine", b, "--engine", b},
       "--engine-info belongs to the --engine before it: give that first"},
      {{"--engine", b, "--engine-info", "thread_num 2\nBEGIN", "--engine", b},
       "--engine-info holds a control character: one line, e.g. \"thread_num 2\""},
      {{"--engine", b, "--engine", b, "--engine-info", "info max_node 10"},
       "give --engine-info without INFO, e.g. \"thread_num 2\""},
      {{"--engine", b, "--engine", b, "--engine-info", "  "}, "empty --engine-info"},
      {{"--engine", b, "--engine", b, "--engine-info"}, "missing value after --engine-info"},
      {{"--engine", b, "--engine", b, "--shard", "3/2"},
       "bad value for --shard: 3/2 (K/N with 1 <= K <= N, e.g. 2/3)"},
      {{"--engine", b, "--engine", b, "--shard", "1/2", "--sprt", "elo0=0", "elo1=5"},
       "--sprt stops a whole match; give it to `velmaro-arena merge` for shards"},
      {{"merge"}, "give merge the results files of the slices"},
      {{"merge", "--sprt", "elo0=1", "elo1=0", a1}, "--sprt needs elo0=A elo1=B with A < B"},
      {{"merge", "--shard", "1/2", a1}, "unknown option of merge --shard"},
  };
  for (const auto& [args, reason] : cases) {
    SCOPED_TRACE(reason);
    Output out = runArgs(args);
    EXPECT_EQ(out.code, 2);
    EXPECT_TRUE(out.begins("velmaro-arena: " + reason + "\nusage: ")) << out.text;
    EXPECT_FALSE(fileExists(path("pids")));
  }
  // So does a results file that cannot be written, without the usage.
  const std::string results = path("no/such/folder/r.json");
  Output out = runArgs({"--engine", b, "--engine", b, "--results", results});
  EXPECT_EQ(out.code, 2);
  EXPECT_EQ(out.text, "\nvelmaro-arena: cannot write " + results + "\n");
  EXPECT_FALSE(fileExists(path("pids")));
}

// Shards of a match played apart, each game with fresh brains, merge into the whole match played
// at once: the same results file byte for byte, the same records under the same numbers, the same
// summary with the same SPRT. So does the match played three games at a time by brains that stay
// (the records of one game written at a time). Slices of other matches are refused.
TEST_F(Arena, ShardsMergeIntoTheWholeMatchAndSlicesOfOthersAreRefused) {
  std::ofstream(path("openings.txt")) << "0,0, 1,0, 0,1\n-1,-1, 1,1, 2,0\n2,2, 1,1, -2,0\n1,0\n";
  // Engine 1 crashes in game 1 only, the one where it owns the centre 4,4 (opening 1, black).
  const std::string one = brain("--mode crash --at 2 --if-mine 4,4 --pids " + path("pids"));
  const std::string two = brain("--pids " + path("pids"), "two.log");
  const std::string match = "--size 9 --turn 1000 --openings openings.txt ";
  const std::string sprt = "--sprt elo0=0 elo1=30 ";
  writeFile(path("data/arena-engine1/stale"), "from an earlier match\n");
  Output whole =
      run(one, two, match + sprt + "--fresh --results whole.json --psq whole --sgf whole.sgf");
  EXPECT_EQ(whole.code, 0) << whole.text;
  // Every game began with new brains in emptied folders.
  EXPECT_FALSE(fileExists(path("data/arena-engine1/stale")));
  EXPECT_EQ(countOf(readFile(path("two.log")), "# start\n"), 8);
  EXPECT_EQ(countOf(readFile(path("two.log")), "END\r\n"), 8);
  // 2 wins, 4 losses, 2 draws: s = 3/8, Elo = 400 log10(3/5) = -88.7; se = sqrt(11/64 / 8) =
  // 0.1466; (Elo(s + 1.96 se) - Elo(s - 1.96 se)) / 2 = 261.9. Pairs scoring 0, 1/2, 1/2, 1/2:
  // z = (3/8 - 1/2) / sqrt(3/64 / 4), LOS = Phi(z) = 12.4%.
  const std::string summary =
      "\nEngine 1: test-brain\nEngine 2: test-brain\nEngine 1: 2 wins, 4 losses, 2 draws in 8 "
      "games\nScore of engine 1: 3.0 of 8 (37.5%)\nElo difference: -88.7 +/- 261.9 (95%)\n"
      "Pentanomial counts (pairs scoring 0, 0.5, 1, 1.5, 2 points): 1, 0, 3, 0, 0 in 4 pairs\n"
      "LOS of engine 1: 12.4% (from the game pairs)\nSPRT elo0=0 elo1=30 alpha=0.05 beta=0.05: "
      "LLR -0.36 (-2.94, 2.94), no decision\n";
  EXPECT_TRUE(
      whole.text.ends_with("\nProgress: 8 of 8 games, SPRT running; score 3.0 (37.5%); "
                           "Elo -88.7 +/- 261.9 (95%); LLR -0.36 (-2.94, 2.94)" +
                           summary))
      << whole.text;
  Output busy =
      run(one, two, match + sprt + "--concurrency 3 --results busy.json --psq busy --sgf busy.sgf");
  EXPECT_EQ(busy.code, 0);
  const std::regex slowest("; slowest reply .*");
  EXPECT_EQ(std::regex_replace(busy.text, slowest, ""),
            std::regex_replace(whole.text, slowest, ""));
  EXPECT_EQ(readFile(path("busy.sgf")), readFile(path("whole.sgf")));
  EXPECT_TRUE(fileExists(path("data/arena-engine2-slot3")));

  // Shard 1 has pairs 1 and 4 (games 1, 2, 7, 8), 2 and 3 one pair each; two games at once. Which
  // games: their records below, and merge refuses a game twice or of another shard.
  for (const std::string shard : {"1", "2", "3"}) {
    Output out = run(
        one, two,
        match + "--concurrency 2 --shard " + shard + "/3 --results s" + shard + ".json --psq psq");
    const int games = shard == "1" ? 4 : 2;
    EXPECT_EQ(out.code, 0) << out.text;
    EXPECT_TRUE(out.begins("Shard " + shard + "/3: " + std::to_string(games) +
                           " of the match's 8 games\n"));
    EXPECT_EQ(out.count(" of 8: "), games);
  }
  for (int game = 1; game <= 8; ++game) {
    EXPECT_EQ(withoutTimes(psq(game, "psq")), withoutTimes(psq(game, "whole"))) << game;
    EXPECT_EQ(withoutTimes(psq(game, "busy")), withoutTimes(psq(game, "whole"))) << game;
  }

  // Slices that do not make up one match are refused; nothing is written.
  EXPECT_EQ(run(one, two, match + "--turn 999 --shard 2/3 --results turn.json").code, 0);
  EXPECT_EQ(run(brain(""), two, match + "--shard 2/3 --results command.json").code, 0);
  std::ofstream(path("openings.txt"), std::ios::app) << "# one more line\n";
  EXPECT_EQ(run(one, two, match + "--shard 2/3 --results openings.json").code, 0);
  writeFile(path("text.json"), "Progress: 6 of 6 games\n");
  const std::string s1 = path("s1.json");
  const auto differs = [&](const std::string& file, const std::string& in) {
    return std::tuple<Args, std::string>{
        {"merge", s1, path(file)},
        path(file) + " is a slice of another match than " + s1 + ": they differ in " + in};
  };
  const std::tuple<Args, std::string> refusals[] = {
      {{"merge", s1, s1}, s1 + " and " + s1 + " are both shard 1/3"},
      differs("turn.json", "the turn time"),
      differs("command.json", "the command of engine 1"),
      differs("openings.json", "the openings"),
      differs("busy.json", "the --fresh setting"),
      {{"merge", s1, path("whole.json")},
       path("whole.json") + " is shard 1/1 and " + s1 +
           " shard 1/3: the match was cut into different numbers of shards"},
      {{"merge", s1, path("none.json")}, path("none.json") + ": cannot be read"},
      {{"merge", path("text.json"), s1}, path("text.json") + ": not JSON"},
      {{"merge", "--results", path("merged.json"), s1, path("s2.json")},
       "--results needs every shard of the match, and 1 of 3 are missing"},
  };
  for (const auto& [args, reason] : refusals) {
    SCOPED_TRACE(reason);
    Output out = runArgs(args);
    EXPECT_EQ(out.code, 2);
    EXPECT_EQ(out.text, "\nvelmaro-arena: merge: " + reason + "\n");
    EXPECT_FALSE(fileExists(path("merged.json")));
  }

  Output merged = runArgs({"merge", "--sprt", "elo0=0", "elo1=30", "--results", path("merged.json"),
                           path("s3.json"), s1, path("s2.json")});
  EXPECT_EQ(merged.code, 0);
  EXPECT_EQ(merged.text,
            "\nMerged 3 results files: shards 1, 2, 3 of 3; 8 of the match's 8 games" + summary);
  const std::string wholeFile = readFile(path("whole.json"));
  EXPECT_EQ(readFile(path("merged.json")), wholeFile);
  EXPECT_NE(wholeFile.find("\n  \"shard\": {\"index\":1,\"count\":1},\n  \"complete\": true,\n"),
            std::string::npos);
  EXPECT_NE(
      wholeFile.find(
          "\n    {\"game\":1,\"opening\":0,\"black\":1,\"winner\":2,\"end\":2,"
          "\"reason\":\"engine 1 crashed (signal 6)\",\"moves\":\"4,4 5,4 4,5 0,0 0,1 0,2\"},\n"),
      std::string::npos)
      << wholeFile;
  EXPECT_EQ(runningPids(path("pids")), std::vector<int>{});
}

// A brain that cannot start at all stops the arena before the first game, in a match and for
// the board page, with its reason and exit code 2, and leaves no other brain running.
TEST_F(Arena, AnEngineThatCannotStartStopsTheArenaBeforeAnyGame) {
  writeFile(path("not-a-program"), "just text\n");
  const std::tuple<std::string, std::string> engines[] = {
      {path("no/pbrain-typo"), "the command was not found (exit code 127)"},
      {path("not-a-program"), "the command cannot be executed (exit code 126)"},
      {"true", "it ended before answering ABOUT (exit code 0)"},
      {"sh -c 'kill -9 $$'", "it ended by signal 9 before answering ABOUT"},
  };
  const std::string other = brain("--pids " + path("pids"));
  for (const auto& [engine, reason] : engines) {
    for (const bool serve : {false, true}) {
      SCOPED_TRACE(engine + (serve ? ", serving" : ""));
      // In a match the second engine fails, so the first has started and must end.
      const Output out = serve
                             ? runArgs({"--serve", "0", "--engine", engine})
                             : runArgs({"--engine", other, "--engine", engine, "--games", "1000"});
      EXPECT_EQ(out.code, 2) << out.text;
      EXPECT_TRUE(out.has("velmaro-arena: engine " + std::string(serve ? "1" : "2") + " (" +
                          engine + ") cannot start: " + reason))
          << out.text;
      EXPECT_EQ(out.count("Game ") + out.count("board page is at"), 0);
      EXPECT_EQ(runningPids(path("pids")), std::vector<int>{});
    }
  }
}

}  // namespace
