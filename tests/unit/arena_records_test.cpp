// The arena's game records: where each engine's MESSAGE lines land in the
// SGF and in the messages file, checked as whole texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records.h"

namespace {

using namespace arena;

// A 5x5 game between "a" (engine 1) and "b" (engine 2) with these stones
// (opening stones marked by a '*' after the square) and lines.
GameRecord game(int blackEngine, const std::vector<std::string>& stones,
                std::vector<EngineMessage> messages) {
  GameRecord g{.number = 7,
               .size = 5,
               .blackEngine = blackEngine,
               .names = {"a", "b"},
               .moves = {},
               .detail = {},
               .messages = std::move(messages)};
  for (const std::string& s : stones) g.moves.push_back({s[0] - '0', s[2] - '0', 0, s.size() > 3});
  return g;
}

TEST(ArenaRecords, MessagesBecomeCommentsOnTheStoneTheyCameBefore) {
  const std::tuple<const char*, GameRecord, const char*> cases[] = {
      {"no lines, no comments", game(0, {"0,0", "1,1"}, {}), ";B[aa];W[bb])\n"},
      {"each engine's lines on its own stones, in order; DEBUG and SUGGEST left out",
       game(0, {"0,0", "1,1", "2,2"},
            {{0, "MESSAGE depth 2 score 5", 1},
             {0, "DEBUG noise", 1},
             {0, "message   best 0,0 by search depth 2", 1},
             {1, "SUGGEST 3,3", 2},
             {1, "MESSAGE x", 2},
             {0, "MESSAGE third", 3}}),
       ";B[aa]C[depth 2 score 5\nbest 0,0 by search depth 2];W[bb]C[x];B[cc]C[third])\n"},
      {"engine 2 black: the colours follow the engine",
       game(1, {"0,0", "1,1"}, {{1, "MESSAGE b1", 1}, {0, "MESSAGE a1", 2}}),
       ";B[aa]C[b1];W[bb]C[a1])\n"},
      {"set-up lines of the other engine and an opening stone name their engine",
       game(0, {"2,2*", "2,3"},
            {{0, "MESSAGE ready", 1}, {1, "MESSAGE set", 1}, {1, "MESSAGE mine", 2}}),
       ";B[cc]C[engine 1: ready\nengine 2: set];W[cd]C[mine])\n"},
      {"a line before a stone never placed goes on the last node, named",
       game(0, {"0,0", "1,1"}, {{0, "MESSAGE lost", 3}, {0, "MESSAGE later", 9}}),
       ";B[aa];W[bb]C[engine 1: lost\nengine 1: later])\n"},
      {"no stone at all: the root", game(0, {}, {{1, "MESSAGE refused", 1}}),
       "C[engine 2: refused])\n"},
      {"] and \\ escaped, an empty line kept",
       game(0, {"0,0"}, {{0, "MESSAGE a]b\\c", 1}, {0, "MESSAGE", 1}}), ";B[aa]C[a\\]b\\\\c\n])\n"},
  };
  for (const auto& [what, record, sgf] : cases) {
    const std::string players = record.blackEngine ? "PB[b]PW[a]" : "PB[a]PW[b]";
    EXPECT_EQ(sgfText(record), "(;GM[4]FF[4]SZ[5]" + players + "RE[0]" + sgf) << what;
  }
}

TEST(ArenaRecords, MessagesFileHasOneLinePerMessageWithGameEngineAndMove) {
  const GameRecord g = game(1, {"2,2*", "0,0", "1,1"},
                            {{1, "MESSAGE hello there", 1},
                             {0, "DEBUG x", 2},
                             {0, "MESSAGE depth 4 score -3 pv 1,1", 2},
                             {1, "MESSAGE best 1,1 by search depth 2", 3},
                             {0, "MESSAGE  spaced", 4}});
  EXPECT_EQ(messagesText(g),
            "game 7 engine 2 move 1 hello there\n"
            "game 7 engine 1 move 2 depth 4 score -3 pv 1,1\n"
            "game 7 engine 2 move 3 best 1,1 by search depth 2\n"
            "game 7 engine 1 move 4 spaced\n");
  EXPECT_EQ(messagesText(game(0, {"0,0"}, {{0, "DEBUG only", 1}})), "");
}

TEST(ArenaRecords, MessageBodyIsTheLineAfterTheWord) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"MESSAGE depth 2", "depth 2"}, {"message x", "x"},
      {"MESSAGE\tx y ", "x y "},      {"MESSAGE", ""},
      {"DEBUG x", "no message"},      {"MESS", "no message"},
      {" MESSAGE x", "no message"},
  };
  for (const auto& [line, expected] : cases) {
    std::string body;
    EXPECT_EQ(messageBody(line, body) ? body : "no message", expected) << line;
  }
}

}  // namespace
