// The board page's JSON API end to end: velmaro-arena --serve started as a
// process, driven over HTTP as the page drives it, against scripted test
// brains and the real brain. The records and the brain's transcript are
// compared with what a match of the arena writes for the same game.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "brain_driver.h"
#include "child_process.h"

namespace {

using testing_support::readFile;

const std::string kArena = std::string(VELMARO_BIN_DIR) + "/velmaro-arena";
const std::string kTestBrain = std::string(VELMARO_TEST_BRAINS_DIR) + "/velmaro-test-brain";
constexpr int kLineTimeoutMs = 60000;
constexpr int kMaxPolls = 200;  // each waits for news, at most 20 s
const char* kJson = "application/json";

struct Reply {
  int status = 0;
  std::string body;
};

// A top-level field of a state as JSON text: a number, true/false, or a
// string with its quotes.
std::string field(const std::string& state, const std::string& name) {
  std::smatch m;
  std::regex_search(state, m, std::regex("\"" + name + "\":(\"(?:[^\"\\\\]|\\\\.)*\"|[^,}\\]]*)"));
  return m[1];
}

// The stones [x,y,ms] of a state: the lists of three numbers before "over":.
std::vector<std::array<int, 3>> moves(const std::string& state) {
  std::vector<std::array<int, 3>> out;
  const std::string head = state.substr(0, state.find("\"over\":"));
  const std::regex stone("\\[(\\d+),(\\d+),(\\d+)\\]");
  for (std::sregex_iterator it(head.begin(), head.end(), stone), end; it != end; ++it) {
    out.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), std::stoi((*it)[3])});
  }
  return out;
}

// A .psq record with the measured reply times masked.
std::string withoutTimes(const std::string& psq) {
  return std::regex_replace(psq, std::regex("^(\\d+,\\d+),\\d+$", std::regex::multiline), "$1,#");
}

// When a request is refused: before the person's first stone, while the
// brain thinks, at the person's turn, after the end, while two brains play.
enum Phase { kNoStone, kThinking, kTurn, kOver, kWatching };

// Every kind of refused request, with its status and (part of) its reason;
// a request without a body is a GET.
struct Refusal {
  Phase phase;
  const char* where;
  std::string body;
  int status;
  const char* says;
  const char* type = kJson;
};
const Refusal kRefusals[] = {
    {kNoStone, "/api/undo", "{}", 409, "nothing to take back: you have no stone"},
    {kThinking, "/api/move", "{\"x\":3,\"y\":3}", 409, "not your turn: the brain is thinking"},
    {kThinking, "/api/undo", "{}", 409, "wait: the brain is busy\""},  // all of it
    {kThinking, "/api/new", "{}", 409, "wait: the brain is busy; start a new game after its move"},
    {kTurn, "/api/move", "{\"x\":1,\"y\":1}", 415, "application/json", "text/plain"},
    {kTurn, "/api/move", "{\"x\":1,", 400, "malformed JSON"},
    {kTurn, "/api/move", "[1,2]", 400, "one object"},
    {kTurn, "/api/move", "{\"x\":\"1\",\"y\":1}", 400, "whole numbers x and y"},
    {kTurn, "/api/move", "{\"x\":1.5,\"y\":1}", 400, "numbers must be whole"},
    {kTurn, "/api/move", "{\"x\":9,\"y\":0}", 400, "(9,0) is off the board"},
    {kTurn, "/api/move", "{\"x\":2,\"y\":-1}", 400, "(2,-1) is off the board"},
    {kTurn, "/api/move", "{\"x\":0,\"y\":0}", 409, "(0,0) is taken"},
    {kTurn, "/api/new", "{\"colour\":\"red\"}", 400, "colour must be"},
    {kTurn, "/api/move", std::string(5000, ' '), 413, "larger than 4096 bytes"},
    {kTurn, "/api/nothing", "", 404, "no such page"},
    {kTurn, "/api/state?since=x", "", 400, "since must be a version"},
    {kTurn, "/api/record.sgf", "", 409, "not over yet"},
    {kOver, "/api/move", "{\"x\":0,\"y\":8}", 409, "the game is over: start a new game, or undo"},
    {kWatching, "/api/move", "{\"x\":4,\"y\":4}", 409,
     "two brains are playing: this page only watches"},
    {kWatching, "/api/undo", "{}", 409, "undo is for games against the brain"},
};

class Serve : public ::testing::Test {
 protected:
  testing_support::TempFolder temp;
  tools::ChildProcess arena;
  std::unique_ptr<httplib::Client> client;

  std::string path(const std::string& name) const { return temp.path() + "/" + name; }
  std::string brain(const std::string& args, const std::string& log = "") const {
    return "'" + kTestBrain + "' " + args + (log.empty() ? "" : " --log '" + path(log) + "'");
  }

  void start(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {kArena, "--serve", "0", "--folder", path("data")};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_TRUE(arena.start(argv, temp.path()));
    std::string line;
    ASSERT_TRUE(arena.readLine(line, kLineTimeoutMs));
    std::smatch port;
    ASSERT_TRUE(std::regex_search(line, port, std::regex("at http://127\\.0\\.0\\.1:(\\d+)/ ")))
        << line;
    client = std::make_unique<httplib::Client>("127.0.0.1", std::stoi(port[1]));
    client->set_read_timeout(30, 0);
  }
  void TearDown() override {
    if (!arena.running()) return;
    ::kill(arena.processId(), SIGTERM);
    int code = -1;
    EXPECT_TRUE(arena.waitExit(kLineTimeoutMs, code));
    EXPECT_EQ(code, 0);
  }

  // A GET, or a POST when there is a body.
  Reply send(const std::string& where, const std::string& body = "", const char* type = kJson) {
    auto r = body.empty() ? client->Get(where) : client->Post(where, body, type);
    return r ? Reply{r->status, r->body} : Reply{};
  }
  Reply play(int x, int y) {
    return send("/api/move", "{\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) + "}");
  }
  // The state once its status is (with `is` false: is no longer) the one
  // given, waiting for news between looks.
  std::string awaitStatus(const std::string& status, bool is = true) {
    const auto done = [&](const std::string& s) {
      return (field(s, "status") == "\"" + status + "\"") == is;
    };
    std::string s = send("/api/state").body;
    for (int i = 0; i < kMaxPolls && !done(s); ++i) {
      s = send("/api/state?since=" + field(s, "version")).body;
    }
    EXPECT_TRUE(done(s)) << s;
    return s;
  }

  // Sends the refused requests of the phase: each answers its status and
  // reason and leaves the state as it was (unless the brain is thinking).
  void expectRefusals(Phase phase) {
    const std::string before = phase == kThinking ? "" : send("/api/state").body;
    for (const Refusal& c : kRefusals) {
      if (c.phase != phase) continue;
      const Reply r = send(c.where, c.body, c.type);
      EXPECT_EQ(r.status, c.status) << c.where << " " << c.body;
      EXPECT_EQ(r.body.rfind("{\"error\":\"", 0), 0u) << r.body;
      EXPECT_NE(r.body.find(c.says), std::string::npos) << r.body;
    }
    if (phase != kThinking) {
      EXPECT_EQ(send("/api/state").body, before);
    }
  }
};

using ServeBrain = Serve;  // the real brain: too slow under TSan

TEST_F(ServeBrain, PlaysAGameToFiveAndUndo) {
  start({"--engine", VELMARO_BRAIN, "--size", "15", "--turn", "500"});
  // The person plays the first free square of the top rows; the brain wins.
  std::string s = awaitStatus("turn");
  while (field(s, "status") != "\"over\"") {
    std::vector<bool> taken(15 * 15);
    for (const auto& m : moves(s)) taken[m[1] * 15 + m[0]] = true;
    const int square = std::find(taken.begin(), taken.end(), false) - taken.begin();
    ASSERT_EQ(play(square % 15, square / 15).status, 200);
    s = awaitStatus("thinking", false);
  }
  EXPECT_EQ(field(s, "winner"), "0");
  EXPECT_EQ(field(s, "detail"), "\"five in a row\"");
  EXPECT_EQ(field(s, "endCode"), "0");
  EXPECT_NE(s.find("[0,\"MESSAGE creating player\"]"), std::string::npos);
  const auto played = moves(s);
  ASSERT_GE(played.size(), 9u);
  // The winning row: five or more squares, the last stone among them.
  const std::size_t five = s.find("\"five\":[");
  const std::string row = s.substr(five, s.find("],\"messages\"") - five);
  char last[32];
  std::snprintf(last, sizeof last, "[%d,%d]", played.back()[0], played.back()[1]);
  EXPECT_NE(row.find(last), std::string::npos) << row;
  EXPECT_GE(std::count(row.begin(), row.end(), '['), 6);

  // Undo takes back the brain's five and the stone before it; the brain,
  // given the position afresh, answers the next stone.
  ASSERT_EQ(send("/api/undo", "{}").status, 200);
  ASSERT_EQ(moves(awaitStatus("turn")).size(), played.size() - 2);
  ASSERT_EQ(play(played[played.size() - 2][0], played[played.size() - 2][1]).status, 200);
  EXPECT_EQ(moves(awaitStatus("thinking", false)).size(), played.size());
}

TEST_F(Serve, RecordsAndTranscriptAreThoseOfAMatchAndUndoResendsTheBoard) {
  const std::string script = "--name alpha --moves '4,4 5,4 6,4 7,4 8,4'";
  start({"--engine", brain(script, "served.log"), "--size", "9", "--turn", "1000"});
  awaitStatus("turn");
  ASSERT_EQ(send("/api/new", "{\"colour\":\"white\"}").status, 200);
  for (int x = 4; x < 8; ++x) {
    awaitStatus("turn");
    ASSERT_EQ(play(x, 5).status, 200);
  }
  std::string s = awaitStatus("over");
  EXPECT_EQ(field(s, "winner"), "0");
  const Reply psq = send("/api/record.psq"), sgf = send("/api/record.sgf");
  ASSERT_EQ(psq.status, 200);

  // The same game as a match between two scripted brains.
  tools::ChildProcess match;
  ASSERT_TRUE(match.start(
      {kArena, "--engine", brain(script, "matched.log"), "--engine",
       brain("--name person --moves '4,5 5,5 6,5 7,5'"), "--size", "9", "--games", "1", "--turn",
       "1000", "--folder", path("data"), "--psq", path("psq"), "--sgf", path("games.sgf")},
      temp.path()));
  for (std::string line; match.readLine(line, kLineTimeoutMs);) {
  }
  int code = -1;
  ASSERT_TRUE(match.waitExit(kLineTimeoutMs, code));
  EXPECT_EQ(sgf.body, readFile(path("games.sgf")));
  EXPECT_EQ(withoutTimes(psq.body), withoutTimes(readFile(path("psq/game001.psq"))));
  // The served game began with the second START (the first game was set up
  // at start, the person black); the match ended with END.
  const std::string served = readFile(path("served.log"));
  const std::string matched = readFile(path("matched.log"));
  const std::size_t from = served.find("START 9", served.find("START 9") + 1);
  EXPECT_EQ(served.substr(from) + "END\r\n", matched.substr(matched.find("START 9")));

  // Undo: the brain gets START and the position as BOARD; its script begins
  // again with 4,4, a taken square, which loses as in matches.
  ASSERT_EQ(send("/api/undo", "{}").status, 200);
  awaitStatus("turn");
  ASSERT_EQ(play(0, 8).status, 200);
  s = awaitStatus("over");
  EXPECT_EQ(field(s, "detail"), "\"engine 1 played on an occupied square (4,4)\"");
  EXPECT_EQ(field(s, "winner"), "1");
  EXPECT_EQ(field(s, "endCode"), "5");
  const std::string log = readFile(path("served.log"));
  EXPECT_GT(log.rfind("START 9\r\n"), log.rfind("TURN "));
  EXPECT_EQ(log.substr(log.rfind("BOARD")),
            "BOARD\r\n4,4,1\r\n4,5,2\r\n5,4,1\r\n5,5,2\r\n6,4,1\r\n6,5,2\r\n7,4,1\r\n0,8,2\r\n"
            "DONE\r\n");
}

TEST_F(Serve, RefusedRequestsAnswerWhyAndChangeNothing) {
  // The brain takes 2 s a move: time for three requests on a busy machine.
  start({"--engine", brain("--delay 2000"), "--size", "9", "--turn", "10000"});
  awaitStatus("turn");
  expectRefusals(kNoStone);
  ASSERT_EQ(play(0, 0).status, 200);
  expectRefusals(kThinking);
  awaitStatus("turn");
  expectRefusals(kTurn);
}

TEST_F(Serve, CrashEndsTheGameAndTheBrainIsStartedAgainForTheNext) {
  start({"--engine", brain("--mode crash --at 2", "crash.log"), "--size", "9", "--turn", "2000"});
  awaitStatus("turn");
  ASSERT_EQ(play(8, 8).status, 200);
  awaitStatus("turn");
  ASSERT_EQ(play(8, 7).status, 200);
  std::string s = awaitStatus("over");
  EXPECT_EQ(field(s, "detail"), "\"engine 1 crashed (signal 6)\"");
  EXPECT_EQ(field(s, "reason"), "\"crash\"");
  EXPECT_EQ(field(s, "winner"), "1");
  expectRefusals(kOver);
  EXPECT_EQ(withoutTimes(send("/api/record.psq").body),  // the person black: 1
            "Piskvorky 9x9, 11:11, 1\n9,9,#\n1,1,#\n9,8,#\ntest-brain\nperson\n2\n");
  ASSERT_EQ(send("/api/new", "{\"colour\":\"black\"}").status, 200);
  awaitStatus("turn");
  ASSERT_EQ(play(8, 8).status, 200);
  EXPECT_EQ(moves(awaitStatus("turn")).size(), 2u);
  const std::string starts =
      std::regex_replace(readFile(path("crash.log")), std::regex("[^#]"), "");
  EXPECT_EQ(starts, "##");  // "# start" twice
}

TEST_F(Serve, TwoBrainsPlayWhileThePageWatches) {
  start({"--engine", brain(""), "--engine", brain("--name other"), "--size", "5"});
  std::string s = awaitStatus("over");
  EXPECT_EQ(field(s, "watching"), "true");
  EXPECT_EQ(field(s, "winner"), "0");  // black completes a diagonal first
  EXPECT_EQ(field(s, "detail"), "\"five in a row\"");
  expectRefusals(kWatching);
  ASSERT_EQ(send("/api/new", "{}").status, 200);
  s = awaitStatus("over");  // a new game is under way at once
  EXPECT_EQ(field(s, "game"), "2");
  EXPECT_EQ(field(s, "black"), "1");
  EXPECT_EQ(field(s, "winner"), "1");
  EXPECT_NE(send("/api/record.sgf").body.find("PB[other]PW[test-brain]RE[B+1]"), std::string::npos);
}

}  // namespace
