// verifyBoard must notice every kind of drift between the incremental state
// and the stones, and accept what make/undo legitimately leave behind.
#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "board_test_util.h"

namespace velm {
namespace {

class BoardCheck : public test::BoardSuite {
 protected:
  void SetUp() override {
    b().init(15, 15);
    play(7, 7);
    play(8, 8);
    play(6, 8);
    ASSERT_TRUE(test::boardConsistent(b()));
  }
  std::string reason() {
    char why[256] = "";
    EXPECT_FALSE(b().verifyBoard(why, sizeof why));
    return why;
  }
};

TEST_F(BoardCheck, NoticesAWrongKeyOrCode) {
  int& key = b().squares[sq(9, 9)].key[2];
  const int saved = key;
  key ^= 1;
  EXPECT_NE(reason().find("key of (9,9) dir 2"), std::string::npos);
  key = saved;
  int& code = b().squares[sq(9, 9)].pat[1][2];
  code += 1;
  EXPECT_NE(reason().find("code of (9,9) dir 2 side 1"), std::string::npos);
  code -= 1;
  EXPECT_TRUE(test::boardConsistent(b()));
}

TEST_F(BoardCheck, NoticesWrongCounts) {
  b().counts.patCount[0][patOpenTwo]++;
  EXPECT_NE(reason().find("patCount[0][3]"), std::string::npos);
  b().counts.patCount[0][patOpenTwo]--;
  b().counts.crossCount[1][0]--;
  EXPECT_NE(reason().find("crossCount[1][0]"), std::string::npos);
  b().counts.crossCount[1][0]++;
  EXPECT_TRUE(test::boardConsistent(b()));
}

TEST_F(BoardCheck, NoticesCandidateFlagsAndPositionKey) {
  b().squares[sq(5, 5)].candidate = false;
  EXPECT_NE(reason().find("(5,5) is near a stone"), std::string::npos);
  b().squares[sq(5, 5)].candidate = true;
  b().squares[sq(8, 8)].candidate = true;
  EXPECT_NE(reason().find("stone on (8,8)"), std::string::npos);
  b().squares[sq(8, 8)].candidate = false;
  b().key ^= 1;
  EXPECT_NE(reason().find("position key"), std::string::npos);
  b().key ^= 1;
  b().sideToMove = 0;
  EXPECT_NE(reason().find("sides"), std::string::npos);
  b().sideToMove = 1;
  EXPECT_TRUE(test::boardConsistent(b()));
}

TEST_F(BoardCheck, AcceptsTheMarkLeftByUndoingANonCandidateMove) {
  play(0, 14);  // far from every stone
  b().undoMove();
  EXPECT_TRUE(b().squares[sq(0, 14)].candidate);
  EXPECT_TRUE(test::boardConsistent(b()));
}

}  // namespace
}  // namespace velm
