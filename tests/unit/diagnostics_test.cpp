// The developer printouts, captured byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "board_test_util.h"

namespace velm {
namespace {

using Diagnostics = test::BoardSuite;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

TEST_F(Diagnostics, PrintKey) {
  CaptureStdout();
  b().printKey(0xAAAA);
  EXPECT_EQ(GetCapturedStdout(), " . . . . . . . . . ");
  CaptureStdout();
  b().printKey(0x6AF1);  // -4 o, -3 #, -2 #, -1 #, square, +1 ., +2 ., +3 ., +4 x
  EXPECT_EQ(GetCapturedStdout(), " x o # # . . . . x ");
}

TEST_F(Diagnostics, PrintLineSkipsUnknownCells) {
  const int line[kLineCells] = {0, 1, 2, 3, 0, 7, -1, 2, 1};
  CaptureStdout();
  b().printLine(line);
  EXPECT_EQ(GetCapturedStdout(), " o x . # o . x ");
}

TEST_F(Diagnostics, PrintVecAndMoveSeq) {
  const int values[3] = {5, -12, 0};
  CaptureStdout();
  b().printVec(values, 3);
  EXPECT_EQ(GetCapturedStdout(), "5 -12 0 ");

  b().init(15, 15);
  const int moves[2] = {sq(7, 7), sq(0, 14)};
  CaptureStdout();
  b().printMoveSeq(moves, 1);
  EXPECT_EQ(GetCapturedStdout(), "[8,8]");
  CaptureStdout();
  b().printMoveSeq(moves, 2);
  EXPECT_EQ(GetCapturedStdout(), "[8,8][1,15]");

  b().init(10, 15);
  const int one = 49;
  CaptureStdout();
  b().printMoveSeq(&one, 1);
  EXPECT_EQ(GetCapturedStdout(), "[4,5]");
}

TEST_F(Diagnostics, PrintInve) {
  b().init(15, 15);
  CaptureStdout();
  b().printInve();
  EXPECT_EQ(GetCapturedStdout(),
            "o: [0, 0, 0, 0, 0, 0, 0, 0, 0, ] \t[0, 0, 0, 0, 0, 0, ]"
            "\tx: [0, 0, 0, 0, 0, 0, 0, 0, 0, ] \t[0, 0, 0, 0, 0, 0, ]\n");
  play(7, 7);
  CaptureStdout();
  b().printInve();
  EXPECT_EQ(GetCapturedStdout(),
            "o: [8, 8, 16, 0, 0, 0, 0, 0, 0, ] \t[0, 0, 0, 0, 0, 0, ]"
            "\tx: [0, 0, 0, 0, 0, 0, 0, 0, 0, ] \t[0, 0, 0, 0, 0, 0, ]\n");
}

TEST_F(Diagnostics, PlotBoardDrawsTheWholeBoard) {
  b().init(4, 3);
  play(1, 0);
  play(3, 2);
  CaptureStdout();
  b().plotBoard();
  EXPECT_EQ(GetCapturedStdout(),
            "     0  1  2  3\n"
            " 0   .  o  .  .\n"
            " 1   .  .  .  .\n"
            " 2   .  .  .  x\n");

  // Larger than 15 x 15: the far corner is drawn too.
  b().init(20, 20);
  play(19, 19);
  CaptureStdout();
  b().plotBoard();
  const std::string text = GetCapturedStdout();
  const std::string last =
      text.substr(text.rfind(" 0 ", text.size() - 2) == std::string::npos ? 0 : text.find("19   "));
  EXPECT_EQ(last, "19   .  .  .  .  .  .  .  .  .  .  .  .  .  .  .  .  .  .  .  o\n");
}

TEST(PlotBoard, CellValues) {
  const int cells[4] = {1, -1, 0, 5};  // (0,0) (0,1) (1,0) (1,1)
  CaptureStdout();
  plot_board(cells, 2, 2);
  EXPECT_EQ(GetCapturedStdout(),
            "     0  1\n"
            " 0   o  .\n"
            " 1   x  ?\n");
}

}  // namespace
}  // namespace velm
