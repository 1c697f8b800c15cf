// Engine state at the start of a game, game moves, the five test, and the
// time account driven by an injected clock.
#include "search_test_util.h"

namespace velm::search_test {
namespace {

class EngineStateTest : public SearchSuite {};

TEST_F(EngineStateTest, InitStartsTheAccountAndTheListWidth) {
  b().timeoutMatch = 123456;
  b().movesToGo = 3;
  b().init(15, 15);
  EXPECT_EQ(b().timeLeft, 123456);
  EXPECT_EQ(b().movesToGo, 15);
  EXPECT_EQ(b().timeMargin, 50);
  EXPECT_EQ(b().checkInterval, 1000);
  EXPECT_EQ(b().narrowWidth, 8);
  b().options = kOptionRichEval | kOptionThreatsOnly;
  b().branchFactor = 11;
  b().init(15, 15);
  EXPECT_EQ(b().narrowWidth, 0);
  b().options = kOptionRichEval;
  b().init(15, 15);
  EXPECT_EQ(b().narrowWidth, 11);
}

TEST_F(EngineStateTest, GameMovesAlternateColours) {
  b().makeGameMove(3, 4);
  b().makeGameMove(3, 4 + 1);
  EXPECT_EQ(b().squares[sq(3, 4)].stone, 0);
  EXPECT_EQ(b().squares[sq(3, 5)].stone, 1);
  EXPECT_EQ(b().moveCount, 2);
  EXPECT_EQ(b().sideToMove, 0);
}

TEST_F(EngineStateTest, CheckWinSeesFivesInEveryDirectionForEitherSide) {
  struct Line {
    int dx, dy;
  };
  const Line lines[4] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
  for (int side = 0; side < 2; side++) {
    for (const Line& l : lines) {
      newGame(15, 15);
      if (side == 1) b().makeGameMove(0, 0);
      // The winner's stones on the line through (7,7), the other side's far
      // away; the middle stone comes last.
      const int order[5] = {-2, -1, 1, 2, 0};
      for (int i = 0; i < 5; i++) {
        b().makeGameMove(7 + order[i] * l.dx, 7 + order[i] * l.dy);
        if (i < 4) {
          EXPECT_FALSE(b().checkWin());
          b().makeGameMove(14 - 2 * i, 14 * (1 - side));
          EXPECT_FALSE(b().checkWin());
        }
      }
      EXPECT_TRUE(b().checkWin()) << "side " << side << " dir " << l.dx << "," << l.dy;
    }
  }
}

class TimeTest : public SearchSuite {
 protected:
  void SetUp() override {
    SearchSuite::SetUp();
    FakeClock::reset(0);
    b().clock = FakeClock::read;
  }
};

TEST_F(TimeTest, TurnLimitCapsBothLimits) {
  b().timeoutTurn = 5000;
  b().timeoutMatch = 180000;
  b().init(15, 15);
  FakeClock::now = 700;
  b().startTime();
  EXPECT_EQ(b().softLimit, 5000);
  EXPECT_EQ(b().hardLimit, 5000);
  EXPECT_EQ(b().moveStart, 700);
  // The search stops once 4950 ms have passed, at a clock reading.
  b().checkCountdown = 1;
  FakeClock::now = 700 + 4949;
  EXPECT_FALSE(b().timeOver());
  b().checkCountdown = 1;
  FakeClock::now = 700 + 4950;
  EXPECT_TRUE(b().timeOver());
}

TEST_F(TimeTest, TimeOverReadsTheClockOncePerInterval) {
  b().timeoutTurn = 5000;
  b().init(15, 15);
  b().startTime();
  FakeClock::now = 1000000;  // long past the hard limit
  const int readsBefore = FakeClock::reads;
  for (int i = 0; i < 999; i++) ASSERT_FALSE(b().timeOver()) << i;
  EXPECT_EQ(FakeClock::reads, readsBefore);
  EXPECT_TRUE(b().timeOver());
  EXPECT_EQ(FakeClock::reads, readsBefore + 1);
  EXPECT_EQ(b().checkCountdown, 1000);
}

TEST_F(TimeTest, MovesThatUseTheirSoftLimitKeepItWhileTheHardLimitFalls) {
  b().timeoutTurn = 30000;
  b().timeoutMatch = 180000;
  b().init(15, 15);
  const int hard[11] = {30000, 30000, 30000, 28800, 26400, 24000,
                        21600, 19200, 16800, 14400, 12000};
  for (int move = 0; move < 11; move++) {
    b().startTime();
    EXPECT_EQ(b().softLimit, 12000) << move;
    EXPECT_EQ(b().hardLimit, hard[move]) << move;
    FakeClock::now += b().softLimit;
    b().stopTime();
  }
  EXPECT_EQ(b().movesToGo, 5);
  for (int move = 0; move < 3; move++) {
    b().startTime();
    b().stopTime();
  }
  EXPECT_EQ(b().movesToGo, 5);
  // A restart gives the whole match time back.
  b().init(15, 15);
  EXPECT_EQ(b().timeLeft, 180000);
  EXPECT_EQ(b().movesToGo, 15);
}

TEST_F(TimeTest, IterationTestPredictsFromTheLastIteration) {
  b().softLimit = 5000;
  b().moveStart = 0;
  // 100 ms iteration ending 500 ms into the move: 500 + 40 * 100 fits.
  b().iterStart = 400;
  FakeClock::now = 500;
  EXPECT_FALSE(b().timeOut(40));
  EXPECT_EQ(b().iterStart, 500);
  // 120 ms: 500 + 40 * 120 = 5300 does not.
  b().iterStart = 380;
  EXPECT_TRUE(b().timeOut(40));
  EXPECT_EQ(b().elapsedTime(), 500);
  EXPECT_EQ(b().elapsedIte(), 0);
}

TEST_F(TimeTest, RequestTimeStartsTheMove) {
  b().timeoutTurn = 1000;
  b().init(15, 15);
  FakeClock::now = 5000;
  b().requestStart = 4300;
  b().startTime();
  EXPECT_EQ(b().moveStart, 4300);
  EXPECT_EQ(b().iterStart, 4300);
  EXPECT_EQ(b().elapsedTime(), 700);
  b().stopTime();
  EXPECT_EQ(b().timeLeft, kDefaultTimeoutMatch - 700);
}

TEST_F(TimeTest, OverspentAccountGivesNonPositiveLimits) {
  b().init(15, 15);
  b().timeLeft = -20;
  b().startTime();
  EXPECT_LE(b().softLimit, 0);
  EXPECT_LE(b().hardLimit, 0);
  b().checkCountdown = 1;
  EXPECT_TRUE(b().timeOver());
  EXPECT_TRUE(b().timeOut(0));
}

}  // namespace
}  // namespace velm::search_test
