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
      {"each engine's lines on its own stones, in order; DEBUG and SUGGEST left out",
       game(0, {"0,0", "1,1", "2,2"},
            {{0, "MESSAGE depth 2 score 5", 1},
             {0, "DEBUG noise", 1},
             {0, "message   best 0,0 by search depth 2", 1},
             {1, "SUGGEST 3,3", 2},
             {1, "MESSAGE x", 2},
             {0, "MESSAGE third", 3},
             {0, "MESSAGE", 3}}),
       ";B[aa]C[depth 2 score 5\nbest 0,0 by search depth 2];W[bb]C[x];B[cc]C[third\n])\n"},
      {"set-up lines of the other engine and an opening stone name their engine",
       game(0, {"2,2*", "2,3"},
            {{0, "MESSAGE ready", 1}, {1, "MESSAGE set", 1}, {1, "MESSAGE mine", 2}}),
       ";B[cc]C[engine 1: ready\nengine 2: set];W[cd]C[mine])\n"},
      {"a line beyond the last stone goes on it, named",
       game(0, {"0,0", "1,1"}, {{0, "MESSAGE later", 9}}), ";B[aa];W[bb]C[engine 1: later])\n"},
      {"no stone at all: the root", game(0, {}, {{1, "MESSAGE refused", 1}}),
       "C[engine 2: refused])\n"},
  };
  for (const auto& [what, record, sgf] : cases) {
    EXPECT_EQ(sgfText(record), std::string("(;GM[4]FF[4]SZ[5]PB[a]PW[b]RE[0]") + sgf) << what;
  }
}

// Each MESSAGE line (the word in any case, the blanks after it dropped), one line each.
TEST(ArenaRecords, MessagesFileHasOneLinePerMessageWithGameEngineAndMove) {
  const GameRecord g = game(1, {"2,2*", "0,0", "1,1"},
                            {{1, "MESSAGE hello there", 1},
                             {0, "DEBUG x", 2},
                             {0, "MESSAGE depth 4 score -3 pv 1,1", 2},
                             {1, "message best 1,1 by search depth 2", 3},
                             {0, "MESSAGE\tx y ", 4},
                             {0, " MESSAGE not at the start", 4},
                             {0, "MESS", 4},
                             {0, "MESSAGE", 4}});
  EXPECT_EQ(messagesText(g),
            "game 7 engine 2 move 1 hello there\n"
            "game 7 engine 1 move 2 depth 4 score -3 pv 1,1\n"
            "game 7 engine 2 move 3 best 1,1 by search depth 2\n"
            "game 7 engine 1 move 4 x y \n"
            "game 7 engine 1 move 4 \n");
}

}  // namespace
