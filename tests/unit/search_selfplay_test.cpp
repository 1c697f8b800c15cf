// Whole games of the engine against itself: every answer is a legal move and
// every game ends with a five or a full board, on boards large and small.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/random.h"
#include "search_test_util.h"

namespace velm::search_test {
namespace {

class SelfPlayTest : public SearchSuite {
 protected:
  // Plays one game to its end; returns the winner (0, 1) or -1 for a full
  // board.
  int playGame(int size, unsigned options, int timeoutTurn, std::uint32_t seed) {
    platform::seedRandom(seed);
    newGame(size, size, options);
    b().timeoutTurn = timeoutTurn;
    for (;;) {
      if (b().moveCount == b().numSquares) return -1;
      int x = -1, y = -1;
      b().thinkMove(x, y);
      EXPECT_TRUE(x >= 0 && x < size && y >= 0 && y < size) << x << "," << y;
      if (HasFailure()) return -2;
      EXPECT_EQ(b().column[x][y].stone, kCellEmpty) << x << "," << y;
      if (HasFailure()) return -2;
      b().makeGameMove(x, y);
      if (b().checkWin()) return b().sideOther;
    }
  }
};

TEST_F(SelfPlayTest, GamesOnTheLargestAndTheUsualBoardEnd) {
  for (std::uint32_t seed = 1; seed <= 2; seed++) {
    EXPECT_GE(playGame(15, kOptionRichEval, 50, seed), -1);
    EXPECT_GE(playGame(20, kOptionRichEval, 50, seed), -1);
  }
}

TEST_F(SelfPlayTest, SmallBoardGamesEnd) {
  for (std::uint32_t seed = 1; seed <= 3; seed++) {
    EXPECT_GE(playGame(7, kOptionRichEval, 50, seed), -1);
    EXPECT_GE(playGame(5, kOptionRichEval, 50, seed), -1);
  }
}

TEST_F(SelfPlayTest, DrawnBoardIsPlayedToTheLastSquare) {
  // No line of this 5x5 board can hold five of one colour whatever fills the
  // three empty squares, so the search meets full boards and the game ends
  // with the board full.
  newGame(5, 5);
  b().timeoutTurn = 50;
  draw({"XXOOX",  //
        "OOXXO",  //
        "XX.OX",  //
        "OOXXO",  //
        ".XOO."});
  ASSERT_EQ(b().moveCount, 22);
  for (int i = 0; i < 3; i++) {
    int x = -1, y = -1;
    b().thinkMove(x, y);
    ASSERT_EQ(b().column[x][y].stone, kCellEmpty);
    b().makeGameMove(x, y);
    EXPECT_FALSE(b().checkWin());
  }
  EXPECT_EQ(b().moveCount, b().numSquares);
}

TEST_F(SelfPlayTest, BaseEvaluationAndThreatOnlyTailsPlayToTheEnd) {
  EXPECT_GE(playGame(15, 0, 50, 3), -1);
  EXPECT_GE(playGame(15, kOptionThreatsOnly | kOptionFixedGrowth | kOptionRadiusReply, 50, 4), -1);
  EXPECT_GE(playGame(7, kOptionRichEval | kOptionThreatsOnly, 50, 5), -1);
}

TEST_F(SelfPlayTest, GamesWithTheMemoryOnEnd) {
  char folder[] = "/tmp/velm-selfplay-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::snprintf(b().dataPath, sizeof b().dataPath, "%s/", folder);
  for (std::uint32_t seed = 1; seed <= 3; seed++) {
    EXPECT_GE(playGame(15, kOptionMemory | kOptionRichEval, 50, seed), -1);
  }
  // The memory file is written when the engine goes; the next suite makes a
  // new one, so this one's file can go now.
  EXPECT_TRUE(b().memo.writeFile());
  const std::string file = std::string(folder) + "/" + kMemoFileName;
  EXPECT_EQ(std::remove(file.c_str()), 0);
  b().options = kOptionRichEval;
  b().memo.loaded = 0;  // nothing more to write at destruction
  rmdir(folder);
  std::snprintf(b().dataPath, sizeof b().dataPath, "./");
}

}  // namespace
}  // namespace velm::search_test
