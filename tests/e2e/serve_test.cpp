// The board page's server end to end: velmaro-arena --serve driven over
// HTTP as the page drives it, its defences over raw connections.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <tuple>

#include "arena_support.h"
#include "http_client.h"

namespace {

using Json = nlohmann::json;
using namespace testing_support;

constexpr int kStateTimeoutMs = 60000;  // for a state to come: a brain may be slow
const char* kJson = "application/json";
const std::string kPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
    "connect-src 'self'; worker-src 'self'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

Json parse(const std::string& text) {
  return Json::parse(text, nullptr, false);
}

// Every answer forbids framing and loading from elsewhere.
void expectSecurityHeaders(const HttpReply& r, const std::string& what) {
  EXPECT_EQ(r.header("x-frame-options"), "DENY") << what;
  EXPECT_EQ(r.header("content-security-policy"), kPolicy) << what;
}

// Each field of `expected`, a JSON object, is the state's.
void expectFields(const Json& state, const std::string& expected) {
  const Json fields = Json::parse(expected);
  for (const auto& [key, value] : fields.items())
    EXPECT_EQ(state.value(key, Json()), value) << key << " in " << state.dump();
}

void expectRefused(const HttpReply& r, int status, const std::string& says) {
  EXPECT_EQ(r.status, status) << r.body;
  EXPECT_NE(r.body.find(says), std::string::npos) << r.body;
}

void expectStops(tools::ChildProcess& process, int signal = SIGTERM) {
  ::kill(process.processId(), signal);
  int code = -1;
  EXPECT_TRUE(process.waitExit(kLineTimeoutMs, code));
  EXPECT_EQ(code, 0);
}

// When a request is refused; kWatching: while two brains play.
enum Phase { kNoStone, kThinking, kTurn, kOver, kWatching };

// Each refused request, its status and (part of) its reason; one without a body is a GET.
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
    {kThinking, "/api/hint", "{}", 409, "not your turn: the brain is thinking"},
    {kTurn, "/api/move", "{\"x\":1,\"y\":1}", 415, "application/json", "text/plain"},
    {kTurn, "/api/move", "{\"x\":1,", 400, "malformed JSON: parse error at line 1, column 8"},
    {kTurn, "/api/move", "[1,2]", 400, "the body must be one object"},
    {kTurn, "/api/move", "{\"x\":1.5,\"y\":1}", 400, "whole numbers x and y"},
    {kTurn, "/api/move", "{\"x\":9,\"y\":0}", 400, "(9,0) is off the board"},
    {kTurn, "/api/move", "{\"x\":2,\"y\":-1}", 400, "(2,-1) is off the board"},
    {kTurn, "/api/move", "{\"x\":99999999999999999999,\"y\":1}", 400, "whole numbers x and y"},
    {kTurn, "/api/move", "{\"x\":0,\"y\":0}", 409, "(0,0) is taken"},
    {kTurn, "/api/new", "{\"colour\":\"red\"}", 400, "colour must be"},
    {kTurn, "/api/new", "{\"size\":4}", 400, "size must be a whole number from 5 to 26"},
    {kTurn, "/api/new", "{\"size\":27}", 400, "size must be a whole number from 5 to 26"},
    {kTurn, "/api/new", "{\"size\":\"15\"}", 400, "size must be a whole number"},
    {kTurn, "/api/new", "{\"turnMs\":99}", 400, "turnMs must be a whole number of milliseconds"},
    {kTurn, "/api/new", "{\"turnMs\":600001}", 400, "from 100 to 600000"},
    {kTurn, "/api/new", "{\"help\":1}", 400, "help must be true or false"},
    {kTurn, "/api/new", "{\"moves\":{}}", 400, "moves must be a list of squares [x,y]"},
    {kTurn, "/api/new", "{\"moves\":[[1,1],[2]]}", 400, "move 2 is not a square [x,y]"},
    {kTurn, "/api/new", "{\"moves\":[[1,1.5]]}", 400, "move 1 is not a square [x,y]"},
    {kTurn, "/api/new", "{\"moves\":[[1,1],[9,1]]}", 400, "move 2 (9,1) is off the board"},
    {kTurn, "/api/new", "{\"size\":5,\"moves\":[[5,1]]}", 400, "move 1 (5,1) is off the board"},
    {kTurn, "/api/new", "{\"moves\":[[1,1],[2,2],[1,1]]}", 400,
     "move 3 (1,1) is on a taken square"},
    {kTurn, "/api/new", "{\"moves\":[[0,0],[0,1],[1,0],[1,1],[2,0],[2,1],[3,0],[3,1],[4,0],[4,1]]}",
     400, "move 9 (4,0) makes five in a row: play on from before it"},
    {kTurn, "/api/new", Json({{"size", 5}, {"moves", std::vector<int>(25)}}).dump(), 400,
     "the moves fill the board"},  // counted before any is read
    {kTurn, "/api/move", std::string(4097, ' '), 413, "larger than 4096 bytes"},
    {kTurn, "/api/nothing", "", 404, "no such page"},
    {kTurn, "/api/move", "", 405, "use POST for /api/move"},
    {kTurn, "/api/state", "{}", 405, "use GET for /api/state"},
    {kTurn, "/api/record.sgf", "", 409, "not over yet"},
    {kOver, "/api/move", "{\"x\":0,\"y\":8}", 409, "the game is over: start a new game, or undo"},
    {kOver, "/api/resign", "{}", 409, "the game is over: start a new game, or undo"},
    {kOver, "/api/hint", "{}", 409, "the game is over: start a new game, or undo"},
    {kWatching, "/api/move", "{\"x\":4,\"y\":4}", 409,
     "two brains are playing: this page only watches"},
    {kWatching, "/api/undo", "{}", 409, "undo is for games against the brain"},
    {kWatching, "/api/resign", "{}", 409, "two brains are playing: this page only watches"},
    {kWatching, "/api/hint", "{}", 409, "hints are for games against the brain"},
};

class Serve : public ::testing::Test {
 protected:
  TempFolder temp;
  tools::ChildProcess arena;
  int port = 0;
  long long seen = 0;  // the newest version answered: older states are old news
  std::unique_ptr<HttpConnection> events;

  std::string path(const std::string& name) const { return temp.path() + "/" + name; }
  std::string brain(const std::string& args, const std::string& log = "") const {
    return testBrain(args, log.empty() ? "" : path(log));
  }

  // Starts the server and, unless `first` is empty, waits for that status.
  void start(const std::vector<std::string>& args, const std::string& first = "turn") {
    launch(args);
    std::string line;
    ASSERT_TRUE(arena.readLine(line, kLineTimeoutMs));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(line, m, std::regex("at http://127\\.0\\.0\\.1:(\\d+)/ ")))
        << line;
    port = std::stoi(m[1]);
    if (!first.empty()) awaitStatus(first);
  }
  // Starts the server (ending the one before) without waiting for its address.
  void launch(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {kArena, "--serve", "0", "--folder", path("data")};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_TRUE(arena.start(argv, temp.path()));
    events.reset();
    seen = 0;
  }
  void TearDown() override {
    if (arena.running()) expectStops(arena);
  }

  // A GET, or a POST when there is a body; every answer carries the security headers.
  HttpReply send(const std::string& where, const std::string& body = "", const char* type = kJson,
                 std::vector<std::string> headers = {}) {
    headers.push_back(std::string("Content-Type: ") + type);
    HttpConnection connection(port);
    HttpReply r;
    if (connection.send(requestText(body.empty() ? "GET" : "POST", where, port, body, headers)))
      connection.readReply(r, kStateTimeoutMs);
    expectSecurityHeaders(r, where);
    const Json state = parse(r.body);
    if (r.status == 200 && state.is_object() && state.contains("version"))
      seen = std::max(seen, state["version"].get<long long>());
    return r;
  }
  HttpReply play(int x, int y, const std::vector<std::string>& headers = {}) {
    const std::string xy = "{\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) + "}";
    return send("/api/move", xy, kJson, headers);
  }

  // An event stream, its head read.
  std::unique_ptr<HttpConnection> openEvents() {
    auto stream = std::make_unique<HttpConnection>(port);
    HttpReply head;
    EXPECT_TRUE(stream->send(requestText("GET", "/api/events", port)));
    EXPECT_TRUE(stream->readReply(head, kStateTimeoutMs));
    EXPECT_EQ(head.header("content-type"), "text/event-stream; charset=utf-8");
    expectSecurityHeaders(head, "/api/events");
    return stream;
  }
  // The first state from the event stream no older than every answer so far that satisfies `done`.
  Json awaitState(const std::function<bool(const Json&)>& done) {
    if (!events) events = openEvents();
    Json s;
    for (std::string data; events->readEvent(data, kStateTimeoutMs);) {
      s = parse(data);
      if (s["version"].get<long long>() >= seen && done(s)) {
        seen = s["version"];
        return s;
      }
    }
    ADD_FAILURE() << "no such state came; the last: " << s.dump();
    return s;
  }
  // The state once its status is (with `is` false: is no longer) the one given.
  Json awaitStatus(const std::string& status, bool is = true) {
    return awaitState([&](const Json& s) { return (s["status"] == status) == is; });
  }
  // The same after a request that the server took.
  Json after(const HttpReply& r, const std::string& status = "turn", bool is = true) {
    EXPECT_EQ(r.status, 200) << r.body;
    return r.status == 200 ? awaitStatus(status, is) : Json();
  }

  // Sends the refused requests of the phase: each answers its status and
  // reason and leaves the state as it was (unless the brain is thinking).
  void expectRefusals(Phase phase) {
    const std::string before = phase == kThinking ? "" : send("/api/state").body;
    for (const Refusal& c : kRefusals) {
      if (c.phase != phase) continue;
      SCOPED_TRACE(std::string(c.where) + " " + c.body);
      const HttpReply r = send(c.where, c.body, c.type);
      expectRefused(r, c.status, c.says);
      EXPECT_EQ(r.body.rfind("{\"error\":\"", 0), 0u) << r.body;
    }
    // While the brain thinks, its own move may change the state.
    if (phase != kThinking) {
      EXPECT_EQ(send("/api/state").body, before);
    }
  }
};

using ServeBrain = Serve;  // the real brain: too slow under TSan

TEST_F(ServeBrain, PlaysAGameToFiveAndUndo) {
  start({"--engine", VELMARO_BRAIN, "--size", "15", "--turn", "500"}, "");
  // The person plays the first free square of the top rows; the brain wins.
  Json s = awaitStatus("turn");
  while (s["status"] != "over") {
    std::vector<bool> taken(15 * 15);
    for (const Json& m : s["moves"]) taken[m[1].get<int>() * 15 + m[0].get<int>()] = true;
    const int square = std::find(taken.begin(), taken.end(), false) - taken.begin();
    ASSERT_EQ(play(square % 15, square / 15).status, 200);
    s = awaitStatus("thinking", false);
  }
  expectFields(s, R"({"winner": 0, "detail": "five in a row", "endCode": 0})");
  EXPECT_NE(std::find(s["messages"].begin(), s["messages"].end(),
                      Json::array({0, "MESSAGE creating player"})),
            s["messages"].end());
  const Json played = s["moves"];
  ASSERT_GE(played.size(), 9u);
  // The winning row: five or more squares, the last stone among them.
  const Json last = {played.back()[0], played.back()[1]};
  EXPECT_NE(std::find(s["five"].begin(), s["five"].end(), last), s["five"].end()) << s["five"];
  EXPECT_GE(s["five"].size(), 5u);

  // Undo takes back the brain's five and the stone before it; the brain,
  // given the position afresh, answers the next stone.
  ASSERT_EQ(send("/api/undo", "{}").status, 200);
  ASSERT_EQ(awaitStatus("turn")["moves"].size(), played.size() - 2);
  const Json& again = played[played.size() - 2];
  ASSERT_EQ(play(again[0], again[1]).status, 200);
  EXPECT_EQ(awaitStatus("thinking", false)["moves"].size(), played.size());
}

TEST_F(Serve, RecordsAndTranscriptAreThoseOfAMatchAndUndoResendsTheBoard) {
  const std::string script = "--name alpha --moves '4,4 5,4 6,4 7,4 8,4'";
  start({"--engine", brain(script, "served.log"), "--size", "9", "--turn", "1000"});
  // Without help: a match asks for no search lines either.
  ASSERT_EQ(send("/api/new", "{\"colour\":\"white\",\"help\":false}").status, 200);
  for (int x = 4; x < 8; ++x) {
    awaitStatus("turn");
    ASSERT_EQ(play(x, 5).status, 200);
  }
  Json s = awaitStatus("over");
  EXPECT_EQ(s["winner"], 0);
  const HttpReply psq = send("/api/record.psq"), sgf = send("/api/record.sgf");
  EXPECT_EQ(psq.header("content-disposition"), "attachment; filename=\"game002.psq\"");

  // The same game as a match between two scripted brains.
  runToEnd(
      {kArena, "--engine", brain(script, "matched.log"), "--engine",
       brain("--name person --moves '4,5 5,5 6,5 7,5'"), "--size", "9", "--games", "1", "--turn",
       "1000", "--folder", path("data"), "--psq", path("psq"), "--sgf", path("games.sgf")},
      temp.path());
  EXPECT_EQ(sgf.body, readFile(path("games.sgf")));
  EXPECT_EQ(withoutTimes(psq.body), withoutTimes(readFile(path("psq/game001.psq"))));
  // The served game began with the second START (the first was set up at start, the person
  // black), the match ended with END; the page tells the brain whether to say its search.
  const std::string served = readFile(path("served.log"));
  const std::string matched = readFile(path("matched.log"));
  const std::size_t from = served.find("START 9", served.find("START 9") + 1);
  EXPECT_EQ(
      std::regex_replace(served.substr(from), std::regex("INFO show_detail 0\r\n"), "") + "END\r\n",
      matched.substr(matched.find("START 9")));

  // Undo: the brain gets START and the position as BOARD; its script begins
  // again with 4,4, a taken square, which loses as in matches.
  after(send("/api/undo", "{}"));
  s = after(play(0, 8), "over");
  expectFields(s, R"-({"detail": "engine 1 played on an occupied square (4,4)",)-"
                  R"( "winner": 1, "endCode": 5})");
  const std::string log = readFile(path("served.log"));
  EXPECT_EQ(log.substr(log.rfind("BOARD")),
            "BOARD\r\n4,4,1\r\n4,5,2\r\n5,4,1\r\n5,5,2\r\n6,4,1\r\n6,5,2\r\n7,4,1\r\n0,8,2\r\n"
            "DONE\r\n");
}

// Refused requests answer why and change nothing. With help, the brain's search reaches the page
// while it thinks; a hint is the hint brain's move for the person, and the playing brain never
// hears of it. The person may resign at any moment; a brain's answer that comes after it is
// dropped, and a new game need not wait for it.
TEST_F(Serve, RefusalsAnalysisHintsFromASecondBrainAndResignationAtOnce) {
  // The brain takes 2 s a move: time for the requests while it thinks, on a busy machine.
  start({"--engine", brain("--delay 2000 --pids '" + path("pids") + "'", "hint.log"), "--size", "9",
         "--turn", "10000"});
  expectRefusals(kNoStone);
  const auto searching = [](bool hint) {
    return [hint](const Json& x) {
      return x["status"] == (hint ? "hint" : "thinking") && x["analysis"].is_object() &&
             x["analysis"]["hint"] == hint && x["analysis"]["depth"] == 2;
    };
  };
  // A hint on the empty board: the hint brain begins the game for the person.
  ASSERT_EQ(send("/api/hint", "{}").status, 200);
  expectFields(awaitState(searching(true))["analysis"],
               R"({"player": 1, "hint": true, "active": true, "stones": 0, "score": -25,
                   "pv": [[0,0],[8,8]]})");
  for (const char* where : {"/api/hint", "/api/move", "/api/undo"})
    expectRefused(send(where, "{\"x\":4,\"y\":4}"), 409, "wait: the hint is on its way");
  Json s = awaitStatus("turn");
  EXPECT_EQ(s["hint"], Json::parse("{\"stones\":0,\"square\":[0,0]}"));
  expectFields(s["analysis"], R"({"best": [0,0], "by": "search depth 2", "active": false})");
  EXPECT_EQ(parse(send("/api/hint", "{}").body)["status"], "turn");  // it is there already

  // The brain's own search, live.
  ASSERT_EQ(play(0, 0).status, 200);
  expectRefusals(kThinking);
  expectFields(awaitState(searching(false))["analysis"],
               R"({"player": 0, "hint": false, "stones": 1})");
  EXPECT_TRUE(awaitStatus("turn")["hint"].is_null());
  expectRefusals(kTurn);

  // The second hint: the position with the person's stones as the hint
  // brain's own. The playing brain then gets the person's stone with TURN.
  ASSERT_EQ(send("/api/hint", "{}").status, 200);
  s = awaitState([](const Json& x) { return x["status"] == "turn" && x["hint"].is_object(); });
  EXPECT_EQ(s["hint"], Json::parse("{\"stones\":2,\"square\":[0,2]}"));
  after(play(0, 2));
  const std::string log = readFile(path("hint.log"));
  EXPECT_NE(log.find("INFO show_detail 1\r\nINFO time_left 1000000000\r\nBOARD\r\n0,0,1\r\n"
                     "0,1,2\r\nDONE\r\n"),
            std::string::npos)
      << log;
  EXPECT_TRUE(log.ends_with("\r\nTURN 0,2\r\n")) << log;

  ASSERT_EQ(play(4, 4).status, 200);
  // The brain has begun: its search is under way.
  awaitState(
      [](const Json& x) { return x["analysis"].is_object() && x["analysis"]["active"] == true; });
  s = parse(send("/api/resign", "{}").body);
  expectFields(s, R"({"status": "over", "winner": 0, "reason": "resigned",
                      "detail": "engine 2 resigned", "endCode": 9})");
  EXPECT_EQ(s["moves"].size(), 5u);
  expectRefused(send("/api/undo", "{}"), 409, "wait: the brain is busy");
  ASSERT_EQ(send("/api/new", "{\"colour\":\"white\"}").status, 200);
  s = awaitState([](const Json& x) { return x["game"] == 2 && x["status"] == "turn"; });
  EXPECT_EQ(s["moves"], Json::parse("[[0,0," + s["moves"][0][2].dump() + "]]"));  // BEGIN's stone
  // At the person's turn; the record says so with end code 9.
  ASSERT_EQ(send("/api/resign", "{}").status, 200);
  EXPECT_EQ(withoutTimes(send("/api/record.psq").body),
            "Piskvorky 9x9, 11:11, 0\n1,1,#\ntest-brain\nperson\n9\n");

  // Both brains end with the server.
  expectStops(arena);
  EXPECT_EQ(countOf(readFile(path("pids")), "\n"), 2);
  EXPECT_EQ(runningPids(path("pids")), std::vector<int>{});
}

TEST_F(Serve, CrashEndsTheGameAndTheBrainIsStartedAgainForTheNext) {
  start({"--engine", brain("--mode crash --at 2", "crash.log"), "--size", "9", "--turn", "2000"});
  after(play(8, 8));
  Json s = after(play(8, 7), "over");
  expectFields(s, R"({"winner": 1, "reason": "crash",)"
                  R"-( "detail": "engine 1 crashed (signal 6)"})-");
  expectRefusals(kOver);
  EXPECT_EQ(withoutTimes(send("/api/record.psq").body),  // the person black: 1
            "Piskvorky 9x9, 11:11, 1\n9,9,#\n1,1,#\n9,8,#\ntest-brain\nperson\n2\n");
  after(send("/api/new", "{\"colour\":\"black\"}"));
  EXPECT_EQ(after(play(8, 8))["moves"].size(), 2u);
  EXPECT_EQ(countOf(readFile(path("crash.log")), "#"), 2);  // "# start" twice
}

TEST_F(Serve, TwoBrainsPlayWhileThePageWatches) {
  // A name that is not UTF-8 reaches the page as U+FFFD, not as a failure.
  start({"--engine", brain(""), "--engine", brain("--name \"other$(printf '\\377')\""), "--size",
         "5"},
        "");
  Json s = awaitStatus("over");
  // Black completes a diagonal first.
  expectFields(s, R"({"watching": true, "winner": 0, "detail": "five in a row"})");
  EXPECT_EQ(s["players"][1]["name"], "other\xEF\xBF\xBD");
  expectRefusals(kWatching);
  s = after(send("/api/new", "{}"), "over");  // a new game is under way at once
  expectFields(s, R"({"game": 2, "black": 1, "winner": 1})");
  EXPECT_NE(send("/api/record.sgf").body.find("PB[other\xFF]PW[test-brain]RE[B+1]"),
            std::string::npos);
}

// A new game takes the form's settings, keeps those it leaves out, and may begin from stones (a
// loaded record), which undo does not take back. The brain's MESSAGE lines are its stones' comments
// in the page's SGF; an undo takes them back with the stones. Every START (the first game's, a new
// game's, an undo's) is followed by the settings and the brain's own INFO lines.
TEST_F(Serve, NewGamesTakeTheirSettingsAndUndoTakesBackTheBrainsLines) {
  start({"--engine", brain("--messages", "served.log"), "--engine-info", "max_depth 3",
         "--engine-info", "thread_num 2", "--size", "9", "--turn", "1000"});
  // The brain, black, gets the two stones with BOARD.
  Json s = after(send("/api/new",
                      "{\"size\":20,\"turnMs\":700,\"colour\":\"white\",\"help\":false,"
                      "\"moves\":[[10,10],[11,11]]}"));
  const std::string settings = R"("size": 20, "turnMs": 700, "help": false, "black": 0)";
  expectFields(s, "{" + settings + R"(, "openingStones": 2, "canUndo": false, "analysis": null})");
  EXPECT_EQ(s["moves"], Json::parse(std::string("[[10,10,0],[11,11,0],[0,0,") +
                                    s["moves"][2][2].dump() + "]]"));
  const std::string info =
      "INFO timeout_match 1000000000\r\nINFO max_memory 0\r\nINFO rule 0\r\n"
      "INFO folder " +
      path("data") + "/arena-engine1\r\nINFO max_depth 3\r\nINFO thread_num 2\r\n";
  std::string log = readFile(path("served.log"));
  EXPECT_EQ(log.substr(log.rfind("START 20\r\n")),
            "START 20\r\nINFO timeout_turn 700\r\n" + info +
                "INFO show_detail 0\r\nINFO time_left 1000000000\r\nBOARD\r\n10,10,1\r\n11,11,2\r\n"
                "DONE\r\n");

  expectRefused(send("/api/hint", "{}"), 409, "help is off in this game");
  // The person's stone and the answer can be taken back, the stones the game began from cannot.
  ASSERT_EQ(play(19, 19).status, 200);
  EXPECT_EQ(awaitState([](const Json& x) { return x["moves"].size() == 5; })["canUndo"], true);
  s = after(send("/api/undo", "{}"));
  EXPECT_EQ(s["moves"].size(), 3u);
  EXPECT_EQ(s["canUndo"], false);
  expectRefused(send("/api/undo", "{}"), 409, "since the position the game began from");

  // A new game that says nothing keeps the settings; the stones are gone.
  ASSERT_EQ(send("/api/new", "{}").status, 200);
  s = awaitState([](const Json& x) { return x["game"] == 3 && x["status"] == "turn"; });
  expectFields(s, "{" + settings + R"(, "openingStones": 0})");
  EXPECT_EQ(s["moves"].size(), 1u);  // the brain's first stone

  // Without help the brain writes none of its search: its own lines only.
  after(send("/api/new", "{\"size\":9,\"turnMs\":1000,\"colour\":\"black\"}"));
  after(play(4, 4));
  s = after(send("/api/undo", "{}"));
  EXPECT_EQ(s["messages"], Json::array());
  for (int y = 4; y <= 8; ++y) s = after(play(4, y), "thinking", false);
  ASSERT_EQ(s["status"], "over");
  EXPECT_EQ(send("/api/record.sgf").body,
            "(;GM[4]FF[4]SZ[9]PB[person]PW[test-brain]RE[B+1];B[ee];W[aa]C[thinking about move 1]"
            ";B[ef];W[ab]C[thinking about move 2];B[eg];W[ac]C[thinking about move 3];B[eh]"
            ";W[ad]C[thinking about move 4];B[ei])\n");
  log = readFile(path("served.log"));
  EXPECT_EQ(countOf(log, "START 9\r\n"), 3) << log;
  EXPECT_EQ(countOf(log, "START 9\r\nINFO timeout_turn 1000\r\n" + info), 3) << log;
}

// Only this server's own page drives it: a foreign Host (DNS rebinding), another site's page (a
// foreign Origin or fetch site) are refused whatever is asked. Bad framing, a body over the limit
// in any coding, idle and stalled connections cost nobody anything. None of it changes the game,
// and ten tabs, their event streams open throughout, each see every stone.
TEST_F(Serve, DefencesChangeNothingAndEveryTabSeesEachStone) {
  // The brain answers after 300 ms: each tab sees the person's stone before the reply.
  start({"--engine", brain("--delay 300"), "--size", "9"});
  std::vector<std::unique_ptr<HttpConnection>> tabs;
  for (int t = 0; t < 10; ++t) {
    tabs.push_back(openEvents());
    std::string first;
    ASSERT_TRUE(tabs.back()->readEvent(first, kLineTimeoutMs));
  }
  const std::string before = send("/api/state").body;

  // Each row: the headers, and the status that refuses them (none: 0); an Origin or a fetch site
  // matters to the requests that change the game only.
  const std::string p = std::to_string(port), other = std::to_string(port + 1);
  const std::tuple<std::vector<std::string>, int> guards[] = {
      {{"Host: 127.0.0.1:" + p}, 0},
      {{"Host: localhost:" + p}, 0},
      {{"Host: LOCALHOST:" + p}, 0},
      {{"Host: 127.0.0.1.evil.example:" + p}, 421},
      {{"Host: localhost.:" + p}, 421},
      {{"Host: 127.0.0.1:" + other}, 421},
      {{"Host: 127.0.0.1"}, 421},
      {{"Host: [::1]:" + p}, 421},  // not the address it listens on
      {{"Host:"}, 421},             // none at all
      {{"Host: 127.0.0.1:" + p, "Host: evil.example:" + p}, 421},
      {{"Origin: null"}, 403},
      {{"Origin: http://127.0.0.1:" + other}, 403},
      {{"Origin: https://127.0.0.1:" + p}, 403},
      {{"Origin: http://localhost:" + p}, 403},  // not the Host this request gave
      {{"Origin: http://127.0.0.1:" + p, "Origin: http://evil.example"}, 403},
      {{"Origin: http://127.0.0.1:" + p, "Sec-Fetch-Site: cross-site"}, 403},
      {{"Sec-Fetch-Site: same-site"}, 403},
  };
  // Each request, and its status when let through: the game refuses every change.
  const std::tuple<const char*, std::string, int> requests[] = {
      {"/", "", 200},
      {"/api/state", "", 200},
      {"/api/undo", "{}", 409},  // nothing to undo
      {"/api/move", "{\"x\":9,\"y\":9}", 400},
      {"/api/new", "{\"size\":4}", 400},
  };
  for (const auto& [headers, refused] : guards) {
    for (const auto& [where, body, through] : requests) {
      const int status = refused == 421 || (refused == 403 && !body.empty()) ? refused : through;
      const char* says = status == 421   ? "not to the Host of this request"
                         : status == 403 ? "a page of another site may not change the game"
                                         : "";
      SCOPED_TRACE(headers[0] + " " + where);
      expectRefused(send(where, body, kJson, headers), status, says);
    }
  }
  for (const std::string where :
       {"/page.js", "/board.js", "/notation.js", "/board.css", "/events-worker.js"})
    EXPECT_EQ(send(where).status, 200) << where;

  // The body limit holds for every framing, and the server refuses a body over it as soon as it
  // knows, without reading it. An undo with a body of exactly the limit is read (409).
  const std::string fits = "{}" + std::string(4094, ' '), over = fits + " ";
  const std::string te = "Transfer-Encoding: chunked";
  const auto length = [](const std::string& body) {
    return "Content-Length: " + std::to_string(body.size());
  };
  const std::tuple<const char*, std::vector<std::string>, std::string, int> framings[] = {
      {"length at the limit", {length(fits)}, fits, 409},
      {"a length beyond any number", {"Content-Length: 99999999999999999999999"}, "", 413},
      {"chunks up to the limit", {te}, chunked(fits, 100), 409},
      {"chunks over it", {te}, chunked(over, 100), 413},
      {"a chunk size beyond any number", {te}, "10000000000000000\r\n", 413},
      {"chunk extensions and a trailer", {te}, "2;a=b\r\n{}\r\n0;c\r\nTrailer: x\r\n\r\n", 409},
      {"a chunk size that is no number", {te}, "zz\r\n{}\r\n0\r\n\r\n", 400},
      {"a chunk without its CR LF", {te}, "2\r\n{}xx0\r\n\r\n", 400},
      {"length and chunks", {te, "Content-Length: 2"}, "2\r\n{}\r\n0\r\n\r\n", 400},
      {"another coding", {"Transfer-Encoding: gzip"}, "", 501},
      {"chunked twice", {"Transfer-Encoding: chunked, chunked"}, "", 501},
      {"two lengths", {"Content-Length: 2", "Content-Length: 3"}, "{} ", 400},
      {"a length that is no number", {"Content-Length: 2x"}, "{}", 400},
      {"a folded header", {"Content-Length: 2", "X-A: 1", " folded"}, "{}", 400},
      {"a header without a name", {"Content-Length: 2", ": 1"}, "{}", 400},
      {"a bare CR", {"Content-Length: 2", "X-A: 1\r2"}, "{}", 400},
  };
  for (const auto& [what, headers, body, status] : framings) {
    HttpConnection c(port);
    ASSERT_TRUE(c.send(requestText("POST", "/api/undo", port, body, headers))) << what;
    HttpReply r;
    ASSERT_TRUE(c.readReply(r, kLineTimeoutMs)) << what;
    EXPECT_EQ(r.status, status) << what << ": " << r.body;
    expectSecurityHeaders(r, what);
    // A refused framing cannot be trusted for a next request: the server closes.
    EXPECT_TRUE(status == 409 || c.closedWithin(kLineTimeoutMs)) << what;
  }
  // 32 MB in chunks of 1000 bytes: the answer comes after 4 KB, the rest is dropped as it arrives,
  // and the server's memory stays as it was.
  const long peak = procStatusKb(arena.processId(), "VmHWM");
  HttpConnection c(port);
  ASSERT_TRUE(c.send(requestText("POST", "/api/move", port, "", {te})));
  const std::string piece = chunked(std::string(65000, ' '), 1000);
  const std::string chunk = piece.substr(0, piece.size() - 5);  // without the last chunk
  HttpReply r;
  for (int i = 0; i < 512 && c.send(chunk) && !c.readReply(r, 0); ++i) {
  }
  if (r.status == 0) c.readReply(r, kLineTimeoutMs);
  EXPECT_EQ(r.status, 413);
  EXPECT_TRUE(c.closedWithin(kLineTimeoutMs));
  EXPECT_LT(procStatusKb(arena.processId(), "VmHWM") - peak, 16 * 1024);

  // Idle connections, and ones that never finish their request, stall nobody; the server ends
  // them, a half-sent one however slowly its bytes trickle in.
  std::vector<std::unique_ptr<HttpConnection>> idle, halfSent;
  for (int i = 0; i < 50; ++i) {
    idle.push_back(std::make_unique<HttpConnection>(port));
    halfSent.push_back(std::make_unique<HttpConnection>(port));
    const std::string request = requestText("POST", "/api/move", port, "{\"x\":1,\"y\":1}");
    // Half the head, or the head and half the body.
    ASSERT_TRUE(halfSent.back()->send(request.substr(0, i % 2 ? 30 : request.size() - 5)));
  }
  EXPECT_EQ(send("/api/state").body, before);
  HttpConnection trickle(port);  // a byte every 100 ms
  const std::string slow = requestText("GET", "/api/state", port);
  std::size_t sent = 0;
  while (sent < slow.size() && trickle.send(slow.substr(sent, 1)) && !trickle.closedWithin(100))
    ++sent;
  EXPECT_LT(sent, slow.size());  // never all of it
  for (auto& c : halfSent) EXPECT_TRUE(c->closedWithin(kLineTimeoutMs));
  for (auto& c : idle) EXPECT_TRUE(c->closedWithin(kLineTimeoutMs));
  EXPECT_EQ(send("/api/state").body, before);

  // The page's own requests; each tab's first news after a click carries the stone, then the reply.
  for (int move = 0; move < 3; ++move) {
    ASSERT_EQ(
        play(move, 8, {"Origin: http://127.0.0.1:" + p, "Sec-Fetch-Site: same-origin"}).status,
        200);
    for (auto& tab : tabs) {
      std::string data;
      ASSERT_TRUE(tab->readEvent(data, kLineTimeoutMs));
      EXPECT_EQ(parse(data)["moves"].size(), 2u * move + 1);
      while (parse(data)["moves"].size() < 2u * move + 2)
        ASSERT_TRUE(tab->readEvent(data, kLineTimeoutMs));
    }
  }
}

// The first Ctrl-C or SIGTERM ends the server at any moment, also while its brain starts up, and
// leaves no brain behind.
TEST_F(Serve, TheFirstSignalEndsTheServerAndEveryBrainAtAnyMoment) {
  const std::tuple<int, const char*, bool> cases[] = {
      {SIGINT, "--start-delay 30000", false},  // before the brain answers ABOUT
      {SIGTERM, "--start-delay 30000", false},
      {SIGINT, "--delay 30000", true},  // while the brain thinks
      {SIGTERM, "", true},              // at the person's turn
  };
  const std::string pids = path("pids");
  for (const auto& [signal, args, serving] : cases) {
    SCOPED_TRACE(std::string(args) + (signal == SIGINT ? " SIGINT" : " SIGTERM"));
    std::remove(pids.c_str());
    const std::vector<std::string> argv = {"--size", "9", "--engine",
                                           brain(std::string(args) + " --pids '" + pids + "'")};
    if (serving) {
      start(argv);
      ASSERT_EQ(play(0, 0).status, 200);  // the brain then thinks
    } else {
      launch(argv);
      ASSERT_TRUE(eventually([&] { return !runningPids(pids).empty(); }));  // the brain runs
    }
    const auto stopped = std::chrono::steady_clock::now();
    expectStops(arena, signal);
    // END, and a kill after its grace (3 s) for a brain that does not read it.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(10));
    EXPECT_EQ(runningPids(pids), std::vector<int>{});
    std::string line;
    EXPECT_TRUE(serving || !arena.readLine(line, kLineTimeoutMs)) << line;  // no address came
  }
}

}  // namespace
