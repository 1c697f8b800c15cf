// Stones that no manager sends but a broken one could: on a square that is
// already taken, or outside the board of the player that is playing. They
// are refused like coordinates off the board, and the game goes on.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "brain_driver.h"

namespace {

using testing_support::BrainDriver;
using testing_support::isMove;
using testing_support::TempFolder;

class BadStones : public ::testing::Test {
 protected:
  TempFolder temp;
  BrainDriver brain{VELMARO_BRAIN, temp.path()};

  void start(const std::string& size) {
    brain.send("INFO folder " + temp.path());
    brain.send("INFO timeout_turn 300");
    brain.send("START " + size);
    ASSERT_EQ(brain.next(), "OK");
  }
};

TEST_F(BadStones, TurnAndPlayOnATakenSquareAreRefused) {
  start("15");
  brain.send("TURN 7,7");
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  const std::string reply = brain.next();
  ASSERT_TRUE(isMove(reply, 15));
  brain.send("TURN 7,7");
  EXPECT_EQ(brain.next(), "ERROR bad coordinates");
  brain.send("TURN " + reply);
  EXPECT_EQ(brain.next(), "ERROR bad coordinates");
  brain.send("PLAY 7,7");
  EXPECT_EQ(brain.next(), "ERROR bad coordinates");
  // Hundreds of them change nothing: the game goes on.
  for (int i = 0; i < 450; i++) brain.send("PLAY 7,7");
  for (int i = 0; i < 450; i++) ASSERT_EQ(brain.next(), "ERROR bad coordinates");
  brain.send("TURN 0,0");
  EXPECT_TRUE(isMove(brain.next(), 15));
  brain.send("END");
  EXPECT_EQ(brain.next(), "OK");
  EXPECT_EQ(brain.exitCode(), 0);
}

TEST_F(BadStones, ABoardLineOnATakenSquareEndsTheBoard) {
  start("15");
  brain.send("BOARD");
  brain.send("3,3,1");
  brain.send("3,3,2");
  brain.send("4,4,2");
  brain.send("done");
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  EXPECT_EQ(brain.next(), "ERROR x,y,who or DONE expected after BOARD");
  // The engine still moves; the lines after the bad one are commands, answered
  // while it computes.
  int moves = 0, unknown = 0;
  for (int i = 0; i < 3; i++) {
    const std::string line = brain.next();
    if (isMove(line, 15)) moves++;
    if (line == "UNKNOWN command") unknown++;
  }
  EXPECT_EQ(moves, 1);
  EXPECT_EQ(unknown, 2);  // 4,4,2 and done
}

TEST_F(BadStones, StonesOffThePlayersBoardAreRefusedAfterARejectedStart) {
  start("15");
  brain.send("TURN 1,1");
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  EXPECT_TRUE(isMove(brain.next(), 15));
  // The rejected START clears the size; the next TURN then validates the
  // implicit 20x20 settings, but the player still plays on 15x15.
  brain.send("START 4");
  EXPECT_EQ(brain.next(), "ERROR bad START parameter");
  brain.send("TURN 19,19");
  EXPECT_EQ(brain.next(), "OK");
  EXPECT_EQ(brain.next(), "ERROR bad coordinates");
  // A START refused by the game type keeps its size in the settings only.
  brain.send("INFO rule 1");
  brain.send("START 20");
  EXPECT_EQ(brain.next(), "ERROR unsupported game type exact 5");
  brain.send("PLAY 15,3");
  EXPECT_EQ(brain.next(), "ERROR bad coordinates");
  brain.send("TURN 14,14");
  EXPECT_TRUE(isMove(brain.next(), 15)) << "the game on 15x15 goes on";
}

}  // namespace
