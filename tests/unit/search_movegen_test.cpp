// Move generation and ordering.
#include <algorithm>
#include <vector>

#include "search_test_util.h"

namespace velm::search_test {
namespace {

class MoveGenTest : public SearchSuite {
 protected:
  std::vector<int> gen(int maxMoves, ListKind& flag) {
    const int n = b().genMoves(list_, maxMoves, flag);
    return std::vector<int>(list_, list_ + n);
  }
  int value(int s) { return b().moveValue(&b().squares[s]); }
  int list_[kReplyListCapacity];
};

TEST_F(MoveGenTest, SingleStoneGivesItsSixteenLineSquaresInSquareOrder) {
  b().makeGameMove(7, 7);
  // Side 1 to move: each square on a line within two of the stone makes side 0
  // an open two there (12), the knight squares are worth nothing.
  std::vector<int> expected;
  for (int x = 5; x <= 9; x++) {
    for (int y = 5; y <= 9; y++) {
      const int dx = x - 7, dy = y - 7;
      if ((dx == 0 && dy == 0) || !(dx == 0 || dy == 0 || dx == dy || dx == -dy)) continue;
      expected.push_back(sq(x, y));
      EXPECT_EQ(value(sq(x, y)), 12);
    }
  }
  EXPECT_EQ(value(sq(8, 9)), 0);
  ListKind flag;
  EXPECT_EQ(gen(40, flag), expected);
  EXPECT_EQ(flag, ListKind::kScored);
}

TEST_F(MoveGenTest, ScoredListsAreTheBestCandidatesBestFirst) {
  draw({"X.......O", "", "", "", "....XO", "....O", "", "", "X.......O", "", "", "X"}, 3, 3);
  std::vector<ScoredMove> positive;
  for (int s = 0; s < b().numSquares; s++) {
    if (b().squares[s].candidate && value(s) > 0) positive.push_back({s, value(s)});
  }
  ASSERT_GE(positive.size(), 60u);
  std::stable_sort(positive.begin(), positive.end(),
                   [](const ScoredMove& a, const ScoredMove& c) { return a.score > c.score; });
  ListKind flag;
  std::vector<int> wide = gen(40, flag);
  EXPECT_EQ(flag, ListKind::kScored);
  ASSERT_EQ(wide.size(), 40u);
  for (int i = 0; i < 40; i++) EXPECT_EQ(wide[i], positive[i].move) << i;
  for (int i = 1; i < 40; i++) {
    ASSERT_GE(value(wide[i - 1]), value(wide[i]));
    if (value(wide[i - 1]) == value(wide[i])) {
      ASSERT_LT(wide[i - 1], wide[i]);
    }
  }
  std::vector<int> narrow = gen(8, flag);
  EXPECT_EQ(flag, ListKind::kScored);
  EXPECT_EQ(narrow, std::vector<int>(wide.begin(), wide.begin() + 8));
}

TEST_F(MoveGenTest, AllCandidatesWorthNothingAreListedInSquareOrder) {
  // A lone corner stone makes only closed twos, worth 0.
  b().makeGameMove(0, 0);
  ListKind flag;
  const std::vector<int> all = {sq(0, 1), sq(0, 2), sq(1, 0), sq(1, 1),
                                sq(1, 2), sq(2, 0), sq(2, 1), sq(2, 2)};
  for (int s : all) EXPECT_EQ(value(s), 0);
  EXPECT_EQ(gen(40, flag), all);
  EXPECT_EQ(flag, ListKind::kScored);
  EXPECT_EQ(gen(3, flag), std::vector<int>(all.begin(), all.begin() + 3));
}

TEST_F(MoveGenTest, ForcedListsOverrideTheWidth) {
  // X to move has a four: its five square alone.
  draw({"OXXXX", "", ".OO..O"}, 2, 7);
  ListKind flag;
  EXPECT_EQ(gen(40, flag), std::vector<int>{sq(7, 7)});
  EXPECT_EQ(flag, ListKind::kWin);
  EXPECT_EQ(gen(0, flag), std::vector<int>{sq(7, 7)});
  EXPECT_EQ(flag, ListKind::kWin);
}

TEST_F(MoveGenTest, SingleOpponentFiveIsBlocked) {
  draw({"..XOOOO", "", "X...X...X"}, 0, 9);
  ListKind flag;
  EXPECT_EQ(gen(40, flag), std::vector<int>{sq(7, 9)});
  EXPECT_EQ(flag, ListKind::kForced);
}

TEST_F(MoveGenTest, ThreatOnlyListIsEmptyWithoutOwnThreeSquares) {
  // X to move has a lone stone: no square makes it a three.
  draw({"XO"}, 6, 6);
  ListKind flag;
  EXPECT_TRUE(gen(0, flag).empty());
  EXPECT_EQ(flag, ListKind::kThreatOnly);
}

TEST_F(MoveGenTest, ThreatOnlyListHoldsOwnFourAndThreeSquaresUnsorted) {
  // X to move: an open two (6,7) (7,7) and a closed three (5..7,9) blocked
  // at (4,9).
  draw({"O.............O", "", "", "", "", "", "",  //
        "......XX",                                 //
        "",                                         //
        ".....OXXX",                                //
        "", "", "", "",                             //
        "O.............O"});
  ListKind flag;
  std::vector<int> l = gen(0, flag);
  EXPECT_EQ(flag, ListKind::kThreatOnly);
  std::vector<int> expected;
  for (int s = 0; s < b().numSquares; s++) {
    if (b().squares[s].candidate && VelmBrain::attCheck(b().squares[s].pat[0]))
      expected.push_back(s);
  }
  EXPECT_EQ(l, expected);
  // The closed three's four squares and the open two's three squares.
  EXPECT_NE(std::find(l.begin(), l.end(), sq(9, 9)), l.end());
  EXPECT_NE(std::find(l.begin(), l.end(), sq(10, 9)), l.end());
  EXPECT_NE(std::find(l.begin(), l.end(), sq(8, 7)), l.end());
  EXPECT_EQ(std::find(l.begin(), l.end(), sq(3, 3)), l.end());
}

}  // namespace
}  // namespace velm::search_test
