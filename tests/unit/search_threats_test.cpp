// Threat detection and defence search on positions with a known answer.
#include <vector>

#include "search_test_util.h"

namespace velm::search_test {
namespace {

// O: open threes (3..5,3) and (9..11,11). X: seven stones on the edges.
const std::vector<std::string> kTwoOpenThrees = {"X......X......X",  // y=0
                                                 "",
                                                 "",
                                                 "...OOO",  // y=3
                                                 "",
                                                 "",
                                                 "",
                                                 "X.............X",  // y=7
                                                 "",
                                                 "",
                                                 "",
                                                 ".........OOO",  // y=11
                                                 "",
                                                 "",
                                                 "X"};  // y=14

class ThreatTest : public SearchSuite {
 protected:
  // Runs winAndForced on a list pre-filled with a marker.
  std::vector<int> forced(int& score, int& n) {
    for (int& v : list_) v = -7;
    score = 12345;
    n = b().winAndForced(list_, score);
    return std::vector<int>(list_, list_ + (n > 0 ? n : 0));
  }
  bool marksClear() {
    for (int i = 0; i < kMaxSquares; i++) {
      if (b().sqMark[i] != 0) return false;
    }
    return true;
  }
  int list_[kReplyListCapacity];
};

TEST_F(ThreatTest, OwnFiveComesBeforeTheOpponentsFive) {
  // X (to move) and O both have open fours.
  draw({"XXXX", "", "OOOO"}, 3, 7);
  int score, n;
  std::vector<int> l = forced(score, n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(score, winScore);
  EXPECT_TRUE(l[0] == sq(2, 7) || l[0] == sq(7, 7)) << l[0];
}

TEST_F(ThreatTest, TwoOpponentFivesLose) {
  // O has an open four; X (to move) has four scattered stones.
  draw({"X.............X", "", "", "", "", "", "", "", "", "...OOOO", "", "", "", "",
        "X.............X"});
  int score, n;
  std::vector<int> l = forced(score, n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(score, -winScore);
  EXPECT_TRUE(l[0] == sq(2, 9) || l[0] == sq(7, 9)) << l[0];
}

TEST_F(ThreatTest, OneSquareCompletingTwoFivesLoses) {
  // O fours along row 7 (blocked at (4,7)) and column 9 (blocked at (9,2))
  // both complete on (9,7).
  draw({"X.............X",  // y=0
        "",                 //
        ".........X",       // y=2
        ".........O",       // y=3
        ".........O",       //
        ".........O",       //
        ".........O",       // y=6
        "....XOOOO",        // y=7
        "",                 //
        "",                 //
        "",                 //
        "",                 //
        "X.............X",  // y=12
        "",                 //
        "X.............X"});
  ASSERT_EQ(b().counts.patCount[1][patFive], 2);
  int score, n;
  std::vector<int> l = forced(score, n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(score, -winScore);
  EXPECT_EQ(l[0], sq(9, 7));
}

TEST_F(ThreatTest, SingleFiveIsBlockedEvenWithOwnOpenFourSquare) {
  // O: closed four on row 9, completion (7,9). X (to move): open three on row 5.
  draw({".....XXX", "", "", "", "..XOOOO"}, 0, 5);
  int score, n;
  std::vector<int> l = forced(score, n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(score, 0);
  EXPECT_EQ(l[0], sq(7, 9));
}

TEST_F(ThreatTest, OwnUnstoppableFourBeatsTheOpponents) {
  // Both sides have an open three; X to move makes the first open four
  // square in square order, (4,3).
  draw({".....XXX", "", "", "", "", "", ".....OOO"}, 0, 3);
  int score, n;
  std::vector<int> l = forced(score, n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(score, winScore);
  EXPECT_EQ(l[0], sq(4, 3));
}

TEST_F(ThreatTest, OwnFoursThenTheDefencesOfTheSingleThreat) {
  // X (to move): closed three (5..7,4) blocked at (4,4): four squares
  // p = (8,4), q = (9,4). O: split three (3,10) (5,10) (6,10): its one open
  // four square s = (4,10), completions a = (2,10) and b = (7,10).
  draw({"....OXXX",  // y=4
        "", "", "", "", "",
        "...O.OO",                  // y=10
        "", "", ".............X"},  // y=13
       0, 4);
  int score, n;
  std::vector<int> l = forced(score, n);
  EXPECT_EQ(score, 0);
  EXPECT_EQ(l, (std::vector<int>{sq(8, 4), sq(9, 4), sq(4, 10), sq(2, 10), sq(7, 10)}));
  EXPECT_TRUE(marksClear());
}

TEST_F(ThreatTest, TwoUnrelatedOpenThreesWithoutCounterFourLose) {
  draw(kTwoOpenThrees);
  int score, n;
  std::vector<int> l = forced(score, n);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(score, -winScore);
  EXPECT_EQ(l[0], sq(2, 3));  // O's first open four square in square order
  EXPECT_TRUE(marksClear());
}

TEST_F(ThreatTest, TwoUnrelatedOpenThreesLeaveOnlyTheCounterFours) {
  // As above, and X has a closed three (5..7,7) blocked at (4,7).
  draw({"X......X......X",  // y=0
        "", "",
        "...OOO",  // y=3
        "", "", "",
        "....OXXX......X",             // y=7
        "", "", "", ".........OOO"});  // y=11
  int score, n;
  std::vector<int> l = forced(score, n);
  EXPECT_EQ(score, 0);
  EXPECT_EQ(l, (std::vector<int>{sq(8, 7), sq(9, 7)}));
}

TEST_F(ThreatTest, QuietPositionLeavesTheListUntouched) {
  draw({"XO", "OX"}, 6, 6);
  int score, n;
  forced(score, n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(score, 0);
  for (int v : list_) ASSERT_EQ(v, -7);
}

TEST_F(ThreatTest, ClassifiersCountCodesInAnyOrder) {
  int fours[4], wins[8];
  int nf = 0, nw = 0;
  const int openFour[4] = {0, patOpenFour, 0, 0};
  VelmBrain::patInve(openFour, fours, nf, wins, nw, 11);
  EXPECT_EQ(nf, 0);
  ASSERT_EQ(nw, 1);
  EXPECT_EQ(wins[0], 11);
  // Open four plus two fours: one four entry, the square twice as a threat.
  const int mixed[4] = {patFour, patOpenFour, patFour, patThree};
  VelmBrain::patInve(mixed, fours, nf, wins, nw, 12);
  EXPECT_EQ(nf, 1);
  EXPECT_EQ(nw, 3);
  EXPECT_EQ(wins[1], 12);
  EXPECT_EQ(wins[2], 12);

  const int closedThree[4] = {patClosedThree, patOpenTwo, patTwo, 0};
  const int three[4] = {0, 0, 0, patThree};
  const int openThree[4] = {patOpenThree, 0, 0, 0};
  const int five[4] = {patFive, patOpenFour, 0, 0};
  EXPECT_FALSE(VelmBrain::attCheck(closedThree));
  EXPECT_TRUE(VelmBrain::attCheck(three));
  EXPECT_TRUE(VelmBrain::attCheck(openThree));
  EXPECT_FALSE(VelmBrain::attCheck(five));
}

// --- Defence search ---

TEST_F(ThreatTest, SingleThreatGivesItsWholeTriple) {
  // O split three (3,10) (5,10) (6,10): open four square (4,10).
  draw({"X.............X", "...O.OO", "X.............X"}, 0, 9);
  int out[3];
  b().difeFind(out, sq(4, 10), 1);
  EXPECT_EQ(out[0], sq(4, 10));
  EXPECT_EQ(out[1], sq(2, 10));
  EXPECT_EQ(out[2], sq(7, 10));

  int moves[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  int count = 0;
  const int threats[1] = {sq(4, 10)};
  b().difeCalc(moves, count, threats, 1, 1);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(moves[0], sq(4, 10));
  EXPECT_EQ(moves[1], sq(2, 10));
  EXPECT_EQ(moves[2], sq(7, 10));
  EXPECT_EQ(moves[3], -1);
  EXPECT_TRUE(marksClear());
}

TEST_F(ThreatTest, OpenThreeIsAnsweredOnItsTwoInnerEnds) {
  // O open three (5..7,7): L' L OOO R R' = (3,7) (4,7) . (8,7) (9,7).
  draw({"X.............X", "", ".....OOO", "", "X"}, 0, 5);
  int out[3];
  b().difeFind(out, sq(4, 7), 1);
  EXPECT_EQ(out[0], sq(4, 7));
  EXPECT_EQ(out[1], sq(3, 7));
  EXPECT_EQ(out[2], sq(8, 7));
  b().difeFind(out, sq(8, 7), 1);
  EXPECT_EQ(out[1], sq(4, 7));
  EXPECT_EQ(out[2], sq(9, 7));

  int moves[4] = {-1, -1, -1, -1};
  int count = 0;
  const int threats[2] = {sq(4, 7), sq(8, 7)};
  b().difeCalc(moves, count, threats, 2, 1);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(moves[0], sq(4, 7));
  EXPECT_EQ(moves[1], sq(8, 7));
  EXPECT_TRUE(marksClear());
}

TEST_F(ThreatTest, UnrelatedThreatsHaveNoCommonDefence) {
  draw(kTwoOpenThrees);
  int moves[5] = {70, 71, -1, -1, -1};
  int count = 2;
  const int threats[2] = {sq(2, 3), sq(8, 11)};
  b().difeCalc(moves, count, threats, 2, 1);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(moves[0], 70);
  EXPECT_EQ(moves[1], 71);
  EXPECT_EQ(moves[2], -1);
  EXPECT_TRUE(marksClear());
}

TEST_F(ThreatTest, DoubleFourTripleTakesEachFoursCompletion) {
  // O: (3..5,7) blocked at (2,7), and (3,4) (4,5) (5,6) blocked at (2,3):
  // (6,7) makes fours in directions 0 and 2.
  draw({"..X.........X",    // y=3
        "...O",             //
        "....O",            //
        ".....O",           // y=6
        "..XOOO",           // y=7
        "",                 //
        "",                 //
        "",                 //
        "X.............X",  // y=11
        "",                 //
        "............X"},   // y=13
       0, 3);
  ASSERT_EQ(b().squares[sq(6, 7)].pat[1][0], patFour);
  ASSERT_EQ(b().squares[sq(6, 7)].pat[1][2], patFour);
  int out[3];
  b().difeFind(out, sq(6, 7), 1);
  EXPECT_EQ(out[0], sq(6, 7));
  EXPECT_EQ(out[1], sq(7, 7));
  EXPECT_EQ(out[2], sq(7, 8));

  int moves[4];
  int count = 0;
  const int threats[1] = {sq(6, 7)};
  b().difeCalc(moves, count, threats, 1, 1);
  EXPECT_EQ(count, 3);
  EXPECT_TRUE(marksClear());
}

TEST_F(ThreatTest, RepeatedThreatSquareChangesNothing) {
  draw({"X.............X", "...O.OO", "X.............X"}, 0, 9);
  int moves[4];
  int count = 0;
  const int threats[2] = {sq(4, 10), sq(4, 10)};
  b().difeCalc(moves, count, threats, 2, 1);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(moves[0], sq(4, 10));
  EXPECT_TRUE(marksClear());
}

}  // namespace
}  // namespace velm::search_test
