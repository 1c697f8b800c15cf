// What a manager relies on beyond the replies themselves: its clock and its
// limits hold per game and per move, END ends a decision at once, a board
// the brain cannot play is refused, a data folder is used exactly as named
// or not at all, and a closed output never kills the brain. Times are
// checked with bounds generous enough for a busy machine: where the brain
// replies within tens of milliseconds, failing to keep the limit would take
// it 30 s.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "brain_driver.h"
#include "brain_under_test.h"

namespace {

using testing_support::BrainDriver;
using testing_support::brainPath;
using testing_support::fileExists;
using testing_support::fileSize;
using testing_support::isMove;
using testing_support::kQuietPosition;
using testing_support::TempFolder;

constexpr long kMemoryFileSize = 358540;
constexpr long long kPromptMs = 5000;

class ManagerLimits : public ::testing::Test {
 protected:
  TempFolder temp;
  BrainDriver brain{VELMARO_BRAIN, temp.path()};

  void send(std::initializer_list<std::string> lines) {
    for (const std::string& line : lines) brain.send(line);
  }
  void expect(std::initializer_list<std::string> replies) {
    for (const std::string& reply : replies) ASSERT_EQ(brain.next(), reply);
  }
  // Milliseconds from the quiet position's BOARD to the move that answers
  // it, MESSAGE lines skipped.
  long long quietMove() {
    const long long start = tools::nowMs();
    brain.sendBoard(kQuietPosition);
    std::string reply = brain.next();
    while (reply.rfind("MESSAGE", 0) == 0) reply = brain.next();
    EXPECT_TRUE(isMove(reply, 20)) << reply;
    return tools::nowMs() - start;
  }
  void endAndExit() {
    brain.send("END");
    EXPECT_EQ(brain.next(), "OK");
    EXPECT_EQ(brain.exitCode(), 0);
  }
};

// The manager's clock wins over the brain's own account; limits sent before a
// game or a move hold for it, whatever the first game had; 0 means "no match
// limit"; game type 3 is a game like the others.
TEST_F(ManagerLimits, ClockAndLimitsHoldPerGameAndPerMove) {
  send({"INFO folder " + brainPath(temp.path()), "INFO timeout_turn 30000", "START 20"});
  expect({"OK"});
  brain.send("INFO time_left 50");
  EXPECT_LT(quietMove(), kPromptMs) << "time_left 50";
  send({"INFO timeout_turn 100", "START 20"});
  expect({"OK"});
  EXPECT_LT(quietMove(), kPromptMs) << "a turn limit sent before the second game";
  send({"INFO timeout_turn 30000", "INFO timeout_match 500", "RESTART"});
  expect({"MESSAGE restarting player", "OK"});
  EXPECT_LT(quietMove(), kPromptMs) << "a match time sent before RESTART";
  send({"INFO timeout_match 0", "INFO time_left 0", "INFO timeout_turn 300", "INFO game_type 3",
        "START 20"});
  expect({"OK"});
  EXPECT_GE(quietMove(), 30) << "no match limit is no reason to play at once";
  endAndExit();
}

TEST_F(ManagerLimits, EndStopsTheDecisionAndTheMemoryIsWritten) {
  send({"INFO folder " + brainPath(temp.path()), "INFO timeout_turn 30000", "START 20"});
  expect({"OK"});
  brain.sendBoard(kQuietPosition);
  expect({"MESSAGE creating player"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const long long end = tools::nowMs();
  brain.send("END");
  EXPECT_TRUE(isMove(brain.next(), 20)) << "the move found so far comes first";
  EXPECT_EQ(brain.next(), "OK");
  EXPECT_EQ(brain.exitCode(), 0);
  EXPECT_LT(tools::nowMs() - end, kPromptMs);
  EXPECT_EQ(fileSize(temp.path() + "/velmaro/velmDat.0"), kMemoryFileSize);
}

TEST_F(ManagerLimits, ABoardTheBrainCannotPlayIsRefusedAndChangesNothing) {
  send({"INFO folder " + brainPath(temp.path()), "START 15", "BEGIN"});
  expect({"OK", "MESSAGE creating player", "7,7"});
  for (const char* line :
       {"START 21", "RECTSTART 20,19", "RECTSTART 21 ,21", "START 99999999999999999999"}) {
    brain.send(line);
    EXPECT_EQ(brain.next(), "ERROR size of the board") << line;
  }
  brain.send("PLAY 7,7");
  EXPECT_EQ(brain.next(), "ERROR bad coordinates") << "the game on 15x15 goes on";
  brain.send("TURN 14,14");
  EXPECT_TRUE(isMove(brain.next(), 15));
  endAndExit();
}

// A folder longer than the old 255-character lines, and lines longer than
// any folder: the folder is used whole, a line too long is refused whole.
TEST_F(ManagerLimits, FoldersAreUsedExactlyAsNamed) {
  std::string folder = temp.path();
  while (folder.size() < 318) folder += folder.size() % 60 == 0 ? "/" : "d";
  // A temporary file left by a brain killed while it wrote.
  std::filesystem::create_directories(folder + "/velmaro");
  std::ofstream(folder + "/velmaro/velmDat.0.tmp") << "left over";
  send({"INFO folder " + brainPath(folder), std::string(5000, 'x'), "START 15"});
  expect({"ERROR line too long", "OK"});
  send({"BOARD", "7,7,2", "INFO folder " + std::string(5000, 'y'), "done"});
  expect({"MESSAGE creating player", "ERROR x,y,who or DONE expected after BOARD"});
  // The engine's move and the answer to "done", now read as a command, come
  // from two threads in either order.
  std::string move = brain.next();
  std::string unknown = brain.next();
  if (move == "UNKNOWN command") std::swap(move, unknown);
  EXPECT_TRUE(isMove(move, 15)) << move;
  EXPECT_EQ(unknown, "UNKNOWN command");
  endAndExit();
  EXPECT_EQ(fileSize(folder + "/velmaro/velmDat.0"), kMemoryFileSize);
  EXPECT_EQ(fileSize(folder + "/velmaro/velmaro.log"), 0);
  EXPECT_FALSE(fileExists(folder + "/velmaro/velmDat.0.tmp"));
}

TEST_F(ManagerLimits, AFolderThatCannotBeUsedMeansNoFilesNotALostGame) {
  const std::string file = temp.path() + "/plain-file";
  std::ofstream(file) << "a file where the folder should be";
  send({"INFO folder " + brainPath(file), "START 15", "BEGIN"});
  expect({"OK", "MESSAGE creating player",
          "MESSAGE cannot use the data folder; this run writes no files", "7,7"});
  endAndExit();
  EXPECT_FALSE(fileExists(file + "/velmaro"));
}

// The stones and replies go on while nobody reads them; the first reply that
// finds no reader ends the brain with exit code 0, never a signal.
TEST_F(ManagerLimits, AClosedOutputEndsTheBrainWithExitCodeZero) {
  send({"INFO folder " + brainPath(temp.path()), "INFO timeout_turn 500", "START 20"});
  expect({"OK"});
  brain.process.closeOutput();
  brain.sendBoard(kQuietPosition);
  EXPECT_EQ(brain.exitCode(), 0);
}

#ifdef __linux__
// Peak resident memory, read from the kernel's record of the process.
long peakResidentBytes(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) * 1024;
  return -1;
}

TEST_F(ManagerLimits, MaxMemoryBoundsThePeakResidentMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory multiplies the brain's resident memory";
#endif
  constexpr long kLimit = 50000000;
  send({"INFO folder " + brainPath(temp.path()), "INFO max_memory " + std::to_string(kLimit),
        "INFO timeout_turn 1500", "START 20"});
  expect({"OK"});
  quietMove();
  brain.send("TURN 0,0");
  EXPECT_TRUE(isMove(brain.next(), 20));
  const long peak = peakResidentBytes(brain.process.processId());
  EXPECT_GT(peak, 0);
  EXPECT_LT(peak, kLimit);
  // Below what the engine needs at all: it says so and plays.
  send({"INFO max_memory 1000", "START 20", "BEGIN"});
  expect({"OK",
          "MESSAGE max_memory 1000 is below what the engine needs; it plays with its "
          "smallest tables",
          "10,10"});
  endAndExit();
}
#endif

}  // namespace
