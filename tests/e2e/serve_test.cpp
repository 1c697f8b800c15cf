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
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "brain_driver.h"
#include "child_process.h"

namespace {

using testing_support::readFile;
using testing_support::TempFolder;

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

std::string withoutTimes(const std::string& psq) {
  return std::regex_replace(psq, std::regex("^(\\d+,\\d+),\\d+$", std::regex::multiline), "$1,#");
}

class Serve : public ::testing::Test {
 protected:
  TempFolder temp;
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
    std::smatch m;
    ASSERT_TRUE(arena.readLine(line, kLineTimeoutMs));
    ASSERT_TRUE(std::regex_search(line, m, std::regex("at http://127\\.0\\.0\\.1:(\\d+)/ ")))
        << line;
    client = std::make_unique<httplib::Client>("127.0.0.1", std::stoi(m[1]));
    client->set_read_timeout(30, 0);
  }
  void TearDown() override {
    if (!arena.running()) return;
    ::kill(arena.processId(), SIGTERM);
    int code = -1;
    EXPECT_TRUE(arena.waitExit(kLineTimeoutMs, code));
    EXPECT_EQ(code, 0);
  }

  Reply get(const std::string& where) {
    auto r = client->Get(where.c_str());
    return r ? Reply{r->status, r->body} : Reply{};
  }
  Reply post(const std::string& where, const std::string& body, const char* type = kJson) {
    auto r = client->Post(where.c_str(), body, type);
    return r ? Reply{r->status, r->body} : Reply{};
  }
  // The state once `done` holds for it, waiting for news between looks.
  std::string awaitState(const std::function<bool(const std::string&)>& done) {
    std::string s = get("/api/state").body;
    for (int i = 0; i < kMaxPolls && !done(s); ++i) {
      s = get("/api/state?since=" + field(s, "version")).body;
    }
    EXPECT_TRUE(done(s)) << s;
    return s;
  }
  std::string awaitStatus(const std::string& status) {
    return awaitState(
        [&](const std::string& s) { return field(s, "status") == "\"" + status + "\""; });
  }
  Reply play(int x, int y) {
    return post("/api/move", "{\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) + "}");
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
    int square = 0;
    while (taken[square]) ++square;
    ASSERT_EQ(play(square % 15, square / 15).status, 200);
    s = awaitState([](const std::string& t) { return field(t, "status") != "\"thinking\""; });
  }
  EXPECT_EQ(field(s, "winner"), "0");
  EXPECT_EQ(field(s, "detail"), "\"five in a row\"");
  EXPECT_EQ(field(s, "endCode"), "0");
  const auto played = moves(s);
  ASSERT_GE(played.size(), 9u);
  // The winning row: five or more squares, the last stone among them.
  const std::size_t five = s.find("\"five\":[");
  const std::string row = s.substr(five, s.find("],\"messages\"") - five);
  char last[32];
  std::snprintf(last, sizeof last, "[%d,%d]", played.back()[0], played.back()[1]);
  EXPECT_NE(row.find(last), std::string::npos) << row;
  EXPECT_GE(std::count(row.begin(), row.end(), '['), 6);
  EXPECT_NE(s.find("[0,\"MESSAGE creating player\"]"), std::string::npos);

  // Undo takes back the brain's five and the stone before it; the brain,
  // given the position afresh, answers the next stone.
  ASSERT_EQ(post("/api/undo", "{}").status, 200);
  s = awaitStatus("turn");
  ASSERT_EQ(moves(s).size(), played.size() - 2);
  const auto again = played[played.size() - 2];
  ASSERT_EQ(play(again[0], again[1]).status, 200);
  s = awaitState([](const std::string& t) { return field(t, "status") != "\"thinking\""; });
  EXPECT_EQ(moves(s).size(), played.size());
}

TEST_F(Serve, RecordsAndTranscriptAreThoseOfAMatchAndUndoResendsTheBoard) {
  const std::string script = "--name alpha --moves '4,4 5,4 6,4 7,4 8,4'";
  start({"--engine", brain(script, "served.log"), "--size", "9", "--turn", "1000"});
  awaitStatus("turn");
  ASSERT_EQ(post("/api/new", "{\"colour\":\"white\"}").status, 200);
  for (int x = 4; x < 8; ++x) {
    awaitStatus("turn");
    ASSERT_EQ(play(x, 5).status, 200);
  }
  std::string s = awaitStatus("over");
  EXPECT_EQ(field(s, "winner"), "0");
  const Reply psq = get("/api/record.psq"), sgf = get("/api/record.sgf");
  ASSERT_EQ(psq.status, 200);

  // The same game as a match between two scripted brains.
  tools::ChildProcess match;
  ASSERT_TRUE(match.start(
      {kArena, "--engine", brain(script, "matched.log"), "--engine",
       brain("--name person --moves '4,5 5,5 6,5 7,5'"), "--size", "9", "--games", "1", "--turn",
       "1000", "--folder", path("data"), "--psq", path("psq"), "--sgf", path("games.sgf")},
      temp.path()));
  std::string line;
  while (match.readLine(line, kLineTimeoutMs)) {
  }
  int code = -1;
  ASSERT_TRUE(match.waitExit(kLineTimeoutMs, code));
  EXPECT_EQ(sgf.body, readFile(path("games.sgf")));
  EXPECT_EQ(withoutTimes(psq.body), withoutTimes(readFile(path("psq/game001.psq"))));
  EXPECT_EQ(psq.body.substr(0, 24), "Piskvorky 9x9, 11:11, 0\n");
  // The served game began with the second START (the first game was set up
  // at start, the person black); the match ended with END.
  const std::string served = readFile(path("served.log"));
  const std::string matched = readFile(path("matched.log"));
  const std::size_t from = served.find("START 9", served.find("START 9") + 1);
  EXPECT_EQ(served.substr(from) + "END\r\n", matched.substr(matched.find("START 9")));

  // Undo: the brain gets START and the position as BOARD; its script begins
  // again with 4,4, a taken square, which loses as in matches.
  ASSERT_EQ(post("/api/undo", "{}").status, 200);
  awaitStatus("turn");
  ASSERT_EQ(play(0, 8).status, 200);
  s = awaitStatus("over");
  EXPECT_EQ(field(s, "detail"), "\"engine 1 played on an occupied square (4,4)\"");
  EXPECT_EQ(field(s, "winner"), "1");
  EXPECT_EQ(field(s, "endCode"), "5");
  const std::string log = readFile(path("served.log"));
  EXPECT_NE(log.find("START 9\r\n"), std::string::npos);
  EXPECT_EQ(log.substr(log.rfind("BOARD")),
            "BOARD\r\n4,4,1\r\n4,5,2\r\n5,4,1\r\n5,5,2\r\n6,4,1\r\n6,5,2\r\n7,4,1\r\n0,8,2\r\n"
            "DONE\r\n");
}

TEST_F(Serve, RefusedRequestsAnswerWhyAndChangeNothing) {
  // The brain takes 2 s a move: time for three requests on a busy machine.
  start({"--engine", brain("--delay 2000"), "--size", "9", "--turn", "10000"});
  awaitStatus("turn");
  EXPECT_EQ(post("/api/undo", "{}").status, 409);  // no stone of the person yet
  ASSERT_EQ(play(0, 0).status, 200);
  // While the brain thinks: no stone, no undo, no new game.
  for (const Reply& r : {play(3, 3), post("/api/undo", "{}"), post("/api/new", "{}")}) {
    EXPECT_EQ(r.status, 409);
    EXPECT_NE(r.body.find("\"error\":\""), std::string::npos) << r.body;
  }
  const std::string before = awaitStatus("turn");

  struct Case {
    const char* method;
    const char* where;
    const char* type;
    std::string body;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"POST", "/api/move", "text/plain", "{\"x\":1,\"y\":1}", 415, "application/json"},
      {"POST", "/api/move", kJson, "{\"x\":1,", 400, "malformed JSON"},
      {"POST", "/api/move", kJson, "[1,2]", 400, "one object"},
      {"POST", "/api/move", kJson, "{\"x\":\"1\",\"y\":1}", 400, "whole numbers x and y"},
      {"POST", "/api/move", kJson, "{\"x\":1.5,\"y\":1}", 400, "numbers must be whole"},
      {"POST", "/api/move", kJson, "{\"x\":9,\"y\":0}", 400, "(9,0) is off the board"},
      {"POST", "/api/move", kJson, "{\"x\":2,\"y\":-1}", 400, "(2,-1) is off the board"},
      {"POST", "/api/move", kJson, "{\"x\":0,\"y\":0}", 409, "(0,0) is taken"},
      {"POST", "/api/new", kJson, "{\"colour\":\"red\"}", 400, "colour must be"},
      {"POST", "/api/move", kJson, std::string(5000, ' '), 413, "larger than 4096 bytes"},
      {"GET", "/api/nothing", "", "", 404, "no such page"},
      {"GET", "/api/state?since=x", "", "", 400, "since must be a version"},
      {"GET", "/api/record.sgf", "", "", 409, "not over yet"},
  };
  for (const Case& c : cases) {
    const Reply r = std::string(c.method) == "GET" ? get(c.where) : post(c.where, c.body, c.type);
    EXPECT_EQ(r.status, c.status) << c.where << " " << c.body;
    EXPECT_NE(r.body.find(c.says), std::string::npos) << r.body;
    EXPECT_EQ(r.body.rfind("{\"error\":\"", 0), 0u) << r.body;
  }
  EXPECT_EQ(get("/api/state").body, before);
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
  EXPECT_NE(play(0, 8).body.find("the game is over"), std::string::npos);
  ASSERT_EQ(post("/api/new", "{\"colour\":\"black\"}").status, 200);
  awaitStatus("turn");
  ASSERT_EQ(play(8, 8).status, 200);
  s = awaitStatus("turn");
  EXPECT_EQ(moves(s).size(), 2u);
  const std::string log = readFile(path("crash.log"));
  EXPECT_EQ(std::regex_replace(log, std::regex("[^#]"), ""), "##");  // "# start" twice
}

TEST_F(Serve, TwoBrainsPlayWhileThePageWatches) {
  start({"--engine", brain(""), "--engine", brain("--name other"), "--size", "5"});
  std::string s = awaitStatus("over");
  EXPECT_EQ(field(s, "watching"), "true");
  EXPECT_EQ(field(s, "winner"), "0");  // black completes a diagonal first
  EXPECT_EQ(field(s, "detail"), "\"five in a row\"");
  EXPECT_EQ(play(4, 4).status, 409);
  EXPECT_EQ(post("/api/undo", "{}").status, 409);
  ASSERT_EQ(post("/api/new", "{}").status, 200);
  s = awaitState([](const std::string& t) {
    return field(t, "game") == "2" && field(t, "status") == "\"over\"";
  });
  EXPECT_EQ(field(s, "black"), "1");
  EXPECT_EQ(field(s, "winner"), "1");
  EXPECT_NE(get("/api/record.sgf").body.find("PB[other]PW[test-brain]RE[B+1]"), std::string::npos);
}

}  // namespace
