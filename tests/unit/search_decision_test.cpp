// Move decision: opening rules, forced answers, and the root search.
#include <cstdlib>

#include "platform/random.h"
#include "search_test_util.h"

namespace velm::search_test {
namespace {

class DecisionTest : public SearchSuite {
 protected:
  void SetUp() override {
    SearchSuite::SetUp();
    b().timeoutTurn = 300;
  }
  std::pair<int, int> think() {
    int x = -1, y = -1;
    b().thinkMove(x, y);
    return {x, y};
  }
  // A quiet middle game (no three on the board) with X to move.
  void quietMiddleGame() { draw({"O", ".XO", ".X.O", "...X"}, 6, 6); }
};

using Move = std::pair<int, int>;

TEST_F(DecisionTest, FirstStoneGoesToTheCentre) {
  EXPECT_EQ(think(), Move(7, 7));
  newGame(20, 20);
  EXPECT_EQ(think(), Move(10, 10));
  newGame(6, 6);
  EXPECT_EQ(think(), Move(3, 3));
}

TEST_F(DecisionTest, ReplyToTheFirstStoneIsADiagonalNeighbour) {
  for (int seed = 1; seed <= 20; seed++) {
    newGame(15, 15);
    platform::seedRandom(seed);
    b().makeGameMove(7, 7);
    const Move m = think();
    EXPECT_EQ(std::abs(m.first - 7), 1) << seed;
    EXPECT_EQ(std::abs(m.second - 7), 1) << seed;
  }
}

TEST_F(DecisionTest, ReplyToACornerStoneIsItsOnlyDiagonalNeighbour) {
  for (int seed = 1; seed <= 5; seed++) {
    newGame(15, 15);
    platform::seedRandom(seed);
    b().makeGameMove(0, 0);
    EXPECT_EQ(think(), Move(1, 1));
  }
}

TEST_F(DecisionTest, ThirdStoneIsNearTheFirstAndTouchesAStone) {
  for (int seed = 1; seed <= 30; seed++) {
    for (unsigned radiusReply = 0; radiusReply < 2; radiusReply++) {
      newGame(15, 15, kOptionRichEval | (radiusReply ? kOptionRadiusReply : 0));
      platform::seedRandom(seed);
      b().makeGameMove(2, 3);
      if (!radiusReply) b().makeGameMove(3, 4);
      const Move m = think();
      EXPECT_LE(std::abs(m.first - 2), 3);
      EXPECT_LE(std::abs(m.second - 3), 3);
      EXPECT_FALSE(b().badPlace(m.first, m.second)) << m.first << "," << m.second;
    }
  }
}

TEST_F(DecisionTest, BadPlaceNeedsAnEmptySquareNextToAStone) {
  b().makeGameMove(0, 0);
  EXPECT_TRUE(b().badPlace(0, 0));   // occupied
  EXPECT_TRUE(b().badPlace(-1, 1));  // off the board
  EXPECT_TRUE(b().badPlace(1, 15));  // off the board
  EXPECT_FALSE(b().badPlace(1, 1));  // diagonal neighbour
  EXPECT_FALSE(b().badPlace(0, 1));  // edge neighbour
  EXPECT_TRUE(b().badPlace(2, 2));   // two away
}

TEST_F(DecisionTest, OpeningRulesEndAtTheFourthStone) {
  quietMiddleGame();
  int x = -5, y = -5;
  EXPECT_FALSE(b().openMove(x, y));
  EXPECT_EQ(x, -5);
}

TEST_F(DecisionTest, FiveInOneIsPlayedAtOnce) {
  draw({"OXXXX", "", ".OO..O"}, 2, 7);
  const int timeLeft = b().timeLeft;
  const int movesToGo = b().movesToGo;
  EXPECT_EQ(think(), Move(7, 7));
  EXPECT_EQ(b().rootCount, 1);
  // A single answer is not charged to the account.
  EXPECT_EQ(b().timeLeft, timeLeft);
  EXPECT_EQ(b().movesToGo, movesToGo);
}

TEST_F(DecisionTest, TheOnlyBlockOfAFiveIsPlayed) {
  draw({"..XOOOO", "", "X...X...X"}, 0, 9);
  EXPECT_EQ(think(), Move(7, 9));
}

TEST_F(DecisionTest, OpenThreeIsAnsweredOnOneOfItsInnerEnds) {
  // O: open three (5..7,7). X to move, nothing of its own.
  draw({"X.............X", "", ".....OOO", "", "X....O..X"}, 0, 5);
  ASSERT_EQ(b().sideToMove, 0);
  const Move m = think();
  EXPECT_TRUE(m == Move(4, 7) || m == Move(8, 7)) << m.first << "," << m.second;
  EXPECT_EQ(b().rootCount, 2);
}

TEST_F(DecisionTest, OwnOpenFourIsPlayedAsAWin) {
  draw({".....XXX", "", "", "", "", "", "..O...O..O"}, 0, 3);
  int list[kReplyListCapacity];
  ListKind flag = ListKind::kScored;
  ASSERT_EQ(b().genMoves(list, kFullWidth, flag), 1);
  EXPECT_EQ(flag, ListKind::kWin);
  EXPECT_EQ(think(), Move(4, 3));
}

TEST_F(DecisionTest, NoIterationPlaysTheGeneratorsFirstMove) {
  quietMiddleGame();
  int list[kReplyListCapacity];
  ListKind flag = ListKind::kScored;
  ASSERT_GT(b().genMoves(list, kFullWidth, flag), 1);
  b().maxDepth = 1;
  const std::uint64_t nodes = b().nodes;
  EXPECT_EQ(think(), Move(b().sqX[list[0]], b().sqY[list[0]]));
  EXPECT_EQ(b().nodes, nodes);
}

TEST_F(DecisionTest, TimeOutInTheFirstIterationStillAnswers) {
  quietMiddleGame();
  int list[kReplyListCapacity];
  ListKind flag = ListKind::kScored;
  ASSERT_GT(b().genMoves(list, kFullWidth, flag), 1);
  // The clock jumps past the hard limit right after the move starts.
  FakeClock::reset(0);
  b().clock = [] { return FakeClock::reads++ == 0 ? 0 : 1000000; };
  b().checkCountdown = 1;
  const std::uint64_t nodes = b().nodes;
  const Move m = think();
  EXPECT_EQ(m, Move(b().sqX[list[0]], b().sqY[list[0]]));
  EXPECT_EQ(b().nodes, nodes + 1);
  EXPECT_TRUE(b().stopSearch);
}

TEST_F(DecisionTest, ZeroMatchTimeStillAnswersALegalMove) {
  b().timeoutMatch = 0;
  b().init(15, 15);
  quietMiddleGame();
  const Move m = think();
  EXPECT_EQ(b().column[m.first][m.second].stone, kCellEmpty);
  EXPECT_TRUE(b().squares[sq(m.first, m.second)].candidate);
  EXPECT_LE(b().timeLeft, 0);
}

// --- Root search ---

TEST_F(DecisionTest, LaterIterationsSearchThePreviousBestFirst) {
  quietMiddleGame();
  b().rootCount = 4;
  const int moves[4] = {sq(5, 5), sq(5, 6), sq(10, 10), sq(10, 9)};
  const int scores[4] = {5, 9, 1, 9};
  for (int i = 0; i < 4; i++) b().rootMoves[i] = {moves[i], scores[i]};
  // Stop at the first node so that only the ordering shows.
  b().clock = [] { return 1000000; };
  b().moveStart = 0;
  b().hardLimit = 300;
  b().checkCountdown = 1;
  b().stopSearch = false;
  EXPECT_EQ(b().rootPVS(4, UNLIMITED), 0);
  const int order[4] = {sq(5, 6), sq(5, 5), sq(10, 10), sq(10, 9)};
  for (int i = 0; i < 4; i++) EXPECT_EQ(b().rootMoves[i].move, order[i]) << i;
}

TEST_F(DecisionTest, RootMoveThatMakesFiveWinsWithoutSearch) {
  draw({"OXXXX", "", ".OO..O"}, 2, 7);
  b().rootCount = 2;
  b().rootMoves[0] = {sq(8, 8), 0};
  b().rootMoves[1] = {sq(7, 7), 0};
  b().stopSearch = false;
  b().startTime();
  EXPECT_EQ(b().rootPVS(2, UNLIMITED), 1);
  EXPECT_EQ(b().rootMoves[1].score, winScore);
  EXPECT_TRUE(b().stopSearch);
}

TEST_F(DecisionTest, AllRootMovesLostEndsTheDeepening) {
  // O has two open threes; X's root list holds two moves that answer neither.
  draw({"X......X......X", "", "", "...OOO", "", "", "", "X.............X", "", "", "",
        ".........OOO", "", "", "X"});
  b().rootCount = 2;
  b().rootMoves[0] = {sq(7, 3), 0};
  b().rootMoves[1] = {sq(1, 3), 0};
  b().stopSearch = false;
  b().startTime();
  EXPECT_EQ(b().rootPVS(4, UNLIMITED), 0);
  EXPECT_EQ(b().rootMoves[0].score, -winScore);
  EXPECT_EQ(b().rootMoves[1].score, -winScore);
  EXPECT_TRUE(b().stopSearch);
}

TEST_F(DecisionTest, ProvenTableValueEndsANodeWhateverItsBound) {
  quietMiddleGame();
  b().startTime();
  b().stopSearch = false;
  b().storeTT(10, 10, winScore, BOUND_UPPER, -1);
  const std::uint64_t nodes = b().nodes;
  EXPECT_EQ(b().alphaBetaPVS(4, 4, -100, 100), winScore);
  EXPECT_EQ(b().nodes, nodes + 1);
  // Too shallow in full-width depth: searched.
  b().storeTT(10, 3, 4321, BOUND_EXACT, -1);
  EXPECT_NE(b().alphaBetaPVS(4, 4, -100000, 100000), 4321);
  EXPECT_GT(b().nodes, nodes + 2);
}

}  // namespace
}  // namespace velm::search_test
