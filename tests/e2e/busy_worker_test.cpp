// The command loop while the worker computes a move: INFO, ABOUT and unknown
// lines are answered at once; TURN, START and END wait for the move and are
// answered after it; end of input ends the brain at once. Run under
// ThreadSanitizer too, these are the tests that make both threads busy.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "brain_driver.h"

namespace {

using testing_support::BrainDriver;
using testing_support::fileSize;
using testing_support::isMove;
using testing_support::kAboutText;
using testing_support::TempFolder;

// How soon the brain must be gone after end of input. Under ThreadSanitizer
// the exit itself, with the worker still searching, takes 2 to 4 s of the
// sanitizer's own finalisation (an uninstrumented or ASan brain needs
// milliseconds).
#if defined(__SANITIZE_THREAD__)
constexpr int kPromptExitMs = 10000;
#else
constexpr int kPromptExitMs = 2000;
#endif

class BusyWorker : public ::testing::Test {
 protected:
  TempFolder temp;
  BrainDriver brain{VELMARO_BRAIN, temp.path()};

  // Sends a middle-game position and leaves the worker searching for up to
  // turnMs (the position has no forced answer, so the search runs).
  void startThinking(int turnMs) {
    brain.send("INFO folder " + temp.path());
    brain.send("INFO timeout_turn " + std::to_string(turnMs));
    brain.send("START 20");
    ASSERT_EQ(brain.next(), "OK");
    sendPosition();
    ASSERT_EQ(brain.next(), "MESSAGE creating player");
  }
  void sendPosition() { brain.sendBoard(testing_support::kQuietPosition); }
};

TEST_F(BusyWorker, InfoAboutAndUnknownLinesAreAnsweredBeforeTheMove) {
  startThinking(1500);
  brain.send("INFO time_left 100000");
  brain.send("HELLO");
  EXPECT_EQ(brain.next(), "UNKNOWN command");
  brain.send("INFO timeout_turn 100");
  brain.send("about");
  EXPECT_EQ(brain.next(), kAboutText);
  brain.send("");
  EXPECT_EQ(brain.next(), "UNKNOWN command");
  EXPECT_TRUE(isMove(brain.next(), 20));
}

TEST_F(BusyWorker, TurnWaitsForTheMoveAndIsAnsweredAfterIt) {
  startThinking(800);
  brain.send("TURN 0,19");  // far from the stones: not the engine's answer
  const std::string first = brain.next();
  EXPECT_TRUE(isMove(first, 20)) << first;
  EXPECT_NE(first, "0,19");
  const std::string second = brain.next();
  EXPECT_TRUE(isMove(second, 20)) << second;
  EXPECT_NE(second, first);
}

TEST_F(BusyWorker, StartWaitsForTheMoveThenBeginsANewGame) {
  startThinking(800);
  brain.send("START 20");
  EXPECT_TRUE(isMove(brain.next(), 20));
  EXPECT_EQ(brain.next(), "OK");
  brain.send("BEGIN");
  EXPECT_EQ(brain.next(), "10,10") << "the new game starts on an empty board";
}

TEST_F(BusyWorker, RestartWaitsForTheMove) {
  startThinking(800);
  brain.send("RESTART");
  EXPECT_TRUE(isMove(brain.next(), 20));
  EXPECT_EQ(brain.next(), "MESSAGE restarting player");
  EXPECT_EQ(brain.next(), "OK");
}

TEST_F(BusyWorker, EndWaitsForTheMoveThenWritesTheMemory) {
  startThinking(800);
  brain.send("END");
  EXPECT_TRUE(isMove(brain.next(), 20));
  EXPECT_EQ(brain.next(), "OK");
  EXPECT_EQ(brain.next(), "<eof>");
  EXPECT_EQ(brain.exitCode(), 0);
  EXPECT_EQ(fileSize(temp.path() + "/velmaro/velmDat.0"), 358540);
}

TEST_F(BusyWorker, EndOfInputEndsAtOnce) {
  startThinking(20000);
  brain.closeInput();
  EXPECT_EQ(brain.exitCode(kPromptExitMs), 0);
}

}  // namespace
