// The brain as a manager sees it: replies byte for byte, in order, over
// pipes, from the real pbrain-velmaro executable.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brain_driver.h"
#include "brain_under_test.h"

namespace {

using testing_support::BrainDriver;
using testing_support::brainPath;
using testing_support::fileExists;
using testing_support::fileSize;
using testing_support::isMove;
using testing_support::kAboutText;
using testing_support::kQuietPosition;
using testing_support::readFile;
using testing_support::TempFolder;

constexpr long kMemoryFileSize = 358540;
// The log is a text file: its lines end as the platform's text files do.
#ifdef VELMARO_WINE
const std::string kTextLineEnd = "\r\n";
#else
const std::string kTextLineEnd = "\n";
#endif

// A brain started in a fresh folder, with its data folder there too.
class Brain : public ::testing::Test {
 protected:
  TempFolder temp;
  BrainDriver brain{VELMARO_BRAIN, temp.path()};

  void useDataFolder() { brain.send("INFO folder " + brainPath(temp.path())); }
  std::string dataPath(const std::string& file) { return temp.path() + "/velmaro/" + file; }
  void start(int size) {
    brain.send("START " + std::to_string(size));
    EXPECT_EQ(brain.next(), "OK") << "START " << size;
  }
  // BEGIN as the first game event: the player is created, then it moves.
  void beginCreating(const std::string& move) {
    brain.send("BEGIN");
    EXPECT_EQ(brain.next(), "MESSAGE creating player");
    EXPECT_EQ(brain.next(), move);
  }
};

TEST_F(Brain, StartAcceptsSizesFromFiveAndRejectsTheRest) {
  start(15);
  brain.send("start 4");
  EXPECT_EQ(brain.next(), "ERROR bad START parameter");
  brain.send("START x");
  EXPECT_EQ(brain.next(), "ERROR bad START parameter");
  brain.send("RECTSTART 15 ,15");
  EXPECT_EQ(brain.next(), "OK");
  brain.send("RECTSTART 15,4");
  EXPECT_EQ(brain.next(), "ERROR bad RECTSTART parameters");
  brain.send("RECTSTART 15");
  EXPECT_EQ(brain.next(), "ERROR bad RECTSTART parameters");
}

TEST_F(Brain, SettingsAreCheckedInOrderAndTheFirstFailureIsReported) {
  brain.send("INFO timeout_turn -1");
  brain.send("INFO timeout_match -1");
  brain.send("START 15");
  EXPECT_EQ(brain.next(), "ERROR time for one turn in milliseconds");
  brain.send("INFO timeout_turn 5000");
  brain.send("START 15");
  EXPECT_EQ(brain.next(), "ERROR total time for a game");
  brain.send("INFO timeout_match 100000");
  brain.send("INFO time_left -5");
  brain.send("START 15");
  EXPECT_EQ(brain.next(), "ERROR remaining time for a game");
  brain.send("INFO time_left 5");
  brain.send("INFO max_memory -1");
  brain.send("START 15");
  EXPECT_EQ(brain.next(), "ERROR maximum memory in bytes, zero if unlimited");
  brain.send("INFO max_memory 0");
  brain.send("INFO game_type -1");
  brain.send("START 15");
  EXPECT_EQ(brain.next(), "ERROR unsupported game type -1");
  for (int type : {0, 1, 2, 3}) {
    brain.send("INFO game_type " + std::to_string(type));
    brain.send("START 15");
    EXPECT_EQ(brain.next(), "OK") << "game type " << type;
  }
  const std::pair<int, const char*> rules[] = {
      {1, "ERROR unsupported game type exact 5"}, {3, "ERROR unsupported game type exact 5"},
      {6, "ERROR unsupported game type renju"},   {2, "ERROR unsupported game type continuous"},
      {8, "ERROR unsupported game type caro"},    {0, "OK"}};
  for (const auto& [rule, reply] : rules) {
    brain.send("INFO rule " + std::to_string(rule));
    brain.send("START 15");
    EXPECT_EQ(brain.next(), reply) << "rule " << rule;
  }
}

TEST_F(Brain, InfoAndUnknownLines) {
  brain.send("INFO timeout_turn 5000");
  brain.send("INFO TIMEOUT_TURN");
  brain.send("INFO evaluate 3,4");
  brain.send("info");
  EXPECT_TRUE(brain.silentFor(200)) << "INFO is never answered";
  brain.send("");
  EXPECT_EQ(brain.next(), "UNKNOWN command");
  brain.send("   ");
  EXPECT_EQ(brain.next(), "UNKNOWN command");
  brain.send("HELLO");
  EXPECT_EQ(brain.next(), "UNKNOWN command");
  for (const char* about : {"about", "About", "ABOUTX"}) {
    brain.send(about);
    EXPECT_EQ(brain.next(), kAboutText);
  }
  // A long line is cut to 255 characters; the rest of it is dropped, not
  // read as another command.
  brain.send(std::string(255, 'a') + "ABOUT");
  EXPECT_EQ(brain.next(), "UNKNOWN command");
  brain.send("START 15" + std::string(292, ' '));
  EXPECT_EQ(brain.next(), "OK");
  EXPECT_TRUE(brain.silentFor(200));
}

TEST_F(Brain, CarriageReturnsAreDropped) {
  brain.send("START 15", "\r\n");
  EXPECT_EQ(brain.next(), "OK");
  useDataFolder();
  brain.send("BOARD", "\r\n");
  brain.send("DONE", "\r\n");
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  EXPECT_EQ(brain.next(), "7,7");
}

TEST_F(Brain, TurnWithoutStartPlaysOnTwentyByTwenty) {
  useDataFolder();
  brain.send("INFO timeout_turn 500");
  brain.send("TURN 3,4");
  EXPECT_EQ(brain.next(), "OK");
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  std::string move = brain.next();
  EXPECT_TRUE(isMove(move, 20)) << move;
  EXPECT_NE(move, "3,4");
  brain.send("TURN 19,19");
  move = brain.next();
  EXPECT_TRUE(isMove(move, 20)) << "no second creation message: " << move;
}

TEST_F(Brain, CoordinatesAreCheckedAgainstTheBoard) {
  useDataFolder();
  start(15);
  for (const char* bad : {"TURN 15,0", "TURN -1,3", "TURN 3 ,4", "TURN 3", "TURN", "PLAY 0,15"}) {
    brain.send(bad);
    EXPECT_EQ(brain.next(), "ERROR bad coordinates") << bad;
  }
  brain.send("PLAY 7,7");
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  EXPECT_EQ(brain.next(), "7,7");
  brain.send("TURN 14,14 and more");
  EXPECT_TRUE(isMove(brain.next(), 15));
  brain.send("TAKEBACK 1,1");
  EXPECT_EQ(brain.next(), "ERROR takeback not supported");
  EXPECT_EQ(brain.next(), "UNKNOWN");
  brain.send("TAKEBACK 99,99");
  EXPECT_EQ(brain.next(), "ERROR bad coordinates");
}

TEST_F(Brain, BoardPlaysStonesInOrderAndAsksForAMove) {
  useDataFolder();
  start(15);
  brain.send("BOARD");
  brain.send("7,7,1");
  brain.send("8,8,2");
  brain.send("3,3,3");
  brain.send("done");
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  EXPECT_EQ(brain.next(), "ERROR blocking not supported");
  std::string move = brain.next();
  EXPECT_TRUE(isMove(move, 15)) << move;
  EXPECT_NE(move, "7,7");
  EXPECT_NE(move, "8,8");
}

TEST_F(Brain, ABadBoardLineEndsTheBoardButNotTheMove) {
  useDataFolder();
  start(15);
  brain.send("BOARD");
  brain.send("30,30,1");
  brain.send("DONE");
  EXPECT_EQ(brain.next(), "ERROR x,y,who or DONE expected after BOARD");
  // The worker's lines (creation, then the move) and the command loop's
  // answer to DONE, read as a command, interleave in any order.
  std::vector<std::string> replies{brain.next(), brain.next(), brain.next()};
  std::vector<std::string> worker;
  for (const std::string& r : replies)
    if (r != "UNKNOWN command") worker.push_back(r);
  EXPECT_EQ(worker, (std::vector<std::string>{"MESSAGE creating player", "7,7"}))
      << "the board is still empty";
  EXPECT_EQ(replies.size() - worker.size(), 1u) << "DONE is answered as an unknown command";
}

TEST_F(Brain, RestartBeginsAnEmptyGame) {
  useDataFolder();
  start(15);
  brain.send("RESTART");
  EXPECT_EQ(brain.next(), "OK") << "no player yet: nothing to restart";
  beginCreating("7,7");
  brain.send("RESTART");
  EXPECT_EQ(brain.next(), "MESSAGE restarting player");
  EXPECT_EQ(brain.next(), "OK");
  brain.send("BEGIN");
  EXPECT_EQ(brain.next(), "7,7") << "the centre is free again";
}

TEST_F(Brain, StartBeginsANewGameOnTheSamePlayer) {
  useDataFolder();
  start(15);
  beginCreating("7,7");
  start(15);
  brain.send("BEGIN");
  EXPECT_EQ(brain.next(), "7,7") << "START must not keep the last game's stones";
  // Another size ends the player (its memory is written) and a new one
  // is created for the next game.
  start(19);
  beginCreating("9,9");
  EXPECT_EQ(fileSize(dataPath("velmDat.0")), kMemoryFileSize);
  brain.send("END");
  EXPECT_EQ(brain.next(), "OK");
  EXPECT_EQ(brain.exitCode(), 0);
}

TEST_F(Brain, EndWritesTheMemoryAndExits) {
  useDataFolder();
  start(15);
  beginCreating("7,7");
  brain.send("END");
  EXPECT_EQ(brain.next(), "OK");
  EXPECT_EQ(brain.next(), "<eof>");
  EXPECT_EQ(brain.exitCode(), 0);
  std::string memory = readFile(dataPath("velmDat.0"));
  ASSERT_EQ(static_cast<long>(memory.size()), kMemoryFileSize);
  EXPECT_EQ(memory.substr(0, 20),
            std::string("\x0f\0\0\0\x14\0\0\0\x08\0\0\0\x1e\0\0\0\xe8\x03\0\0", 20));
  EXPECT_EQ(readFile(dataPath("velmaro.log")), "") << "a normal run logs nothing";
  EXPECT_FALSE(fileExists(dataPath("velmDat.0.tmp")));
}

TEST_F(Brain, EndBeforeAnyStone) {
  brain.send("END");
  EXPECT_EQ(brain.next(), "ERROR ending a non inited player");
  EXPECT_EQ(brain.exitCode(), 0);
}

TEST_F(Brain, EndOfInputEndsAtOnceEvenInsideBoard) {
  useDataFolder();
  start(15);
  brain.send("BOARD");
  brain.send("7,7,1");
  brain.closeInput();
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  EXPECT_EQ(brain.next(), "<eof>");
  EXPECT_EQ(brain.exitCode(), 0);
  EXPECT_FALSE(fileExists(dataPath("velmDat.0"))) << "only END writes the memory";
}

TEST_F(Brain, AboutAndInfoAreAnsweredWhileTheEngineThinks) {
  useDataFolder();
  brain.send("INFO timeout_turn 2000");
  start(20);
  brain.sendBoard(kQuietPosition);
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  brain.send("INFO time_left 100000");
  brain.send("ABOUT");
  EXPECT_EQ(brain.next(), kAboutText) << "ABOUT must not wait for the move";
  EXPECT_TRUE(isMove(brain.next(), 20));
}

TEST_F(Brain, EndOfInputWhileThinkingEndsAtOnce) {
  useDataFolder();
  brain.send("INFO timeout_turn 20000");
  start(20);
  brain.sendBoard({"10,10,2", "11,11,1", "9,11,2"});
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  brain.closeInput();
  EXPECT_EQ(brain.exitCode(2000), 0);
}

// The one fatal error a manager can provoke: a move asked for on a full
// board. Each run adds its line to the log.
TEST_F(Brain, FatalErrorsAreAppendedToTheLog) {
  std::vector<std::string> fullBoard;
  for (int sq = 0; sq < 25; sq++)
    fullBoard.push_back(std::to_string(sq / 5) + "," + std::to_string(sq % 5) + "," +
                        (sq % 2 == 0 ? "1" : "2"));
  for (int run = 0; run < 2; run++) {
    BrainDriver driver(VELMARO_BRAIN, temp.path());
    driver.send("INFO folder " + brainPath(temp.path()));
    driver.send("START 5");
    EXPECT_EQ(driver.next(), "OK");
    driver.sendBoard(fullBoard);
    EXPECT_EQ(driver.next(), "MESSAGE creating player");
    EXPECT_EQ(driver.next(), "Error: Game over");
    EXPECT_EQ(driver.exitCode(), 0);
  }
  EXPECT_EQ(readFile(dataPath("velmaro.log")),
            "Error: Game over" + kTextLineEnd + "Error: Game over" + kTextLineEnd);
}

TEST_F(Brain, FolderNamesAreNeverInterpretedByAShell) {
  std::string odd = temp.path() + "/deep/a b;touch pwned;$(touch pwned2)'";
#ifndef VELMARO_WINE
  odd += '"';  // not a valid character in a Windows folder name
#endif
  brain.send("INFO folder " + brainPath(odd));
  start(15);
  beginCreating("7,7");
  EXPECT_TRUE(fileExists(odd + "/velmaro/velmaro.log"));
  EXPECT_FALSE(fileExists(temp.path() + "/pwned"));
  EXPECT_FALSE(fileExists(temp.path() + "/pwned2"));
}

#ifndef VELMARO_WINE
TEST_F(Brain, AnEmptyFolderMeansTheWorkingDirectory) {
  start(15);
  beginCreating("7,7");
  EXPECT_TRUE(fileExists(temp.path() + "/velmaro/velmaro.log"));
}

#endif

TEST_F(Brain, ARejectedStartDoesNotStopTheGame) {
  useDataFolder();
  brain.send("INFO game_type 7");
  brain.send("START 15");
  EXPECT_EQ(brain.next(), "ERROR unsupported game type 7");
  beginCreating("7,7");
}

// A whole game against a simple opponent (the first empty square in index
// order): every reply is a legal move, the game ends with a five or a full
// board, and END ends the process with exit code 0.
TEST_F(Brain, PlaysAWholeGame) {
  constexpr int kSize = 10;
  useDataFolder();
  brain.send("INFO timeout_turn 200");
  brain.send("INFO timeout_match 60000");
  brain.send("START " + std::to_string(kSize));
  ASSERT_EQ(brain.next(), "OK");
  int board[kSize][kSize] = {};  // 0 empty, 1 the brain, 2 the opponent
  auto fiveAt = [&](int x, int y) {
    const int steps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    for (const auto& d : steps) {
      int run = 1;
      for (int sign : {1, -1})
        for (int k = 1;; k++) {
          int a = x + sign * k * d[0], b = y + sign * k * d[1];
          if (a < 0 || b < 0 || a >= kSize || b >= kSize || board[a][b] != board[x][y]) break;
          run++;
        }
      if (run >= 5) return true;
    }
    return false;
  };
  brain.send("BEGIN");
  ASSERT_EQ(brain.next(), "MESSAGE creating player");
  int stones = 0;
  bool over = false;
  while (!over) {
    std::string reply = brain.next();
    int x, y;
    ASSERT_TRUE(isMove(reply, kSize)) << reply;
    ASSERT_EQ(std::sscanf(reply.c_str(), "%d,%d", &x, &y), 2);
    ASSERT_EQ(board[x][y], 0) << "the brain played on a stone: " << reply;
    board[x][y] = 1;
    over = fiveAt(x, y) || ++stones == kSize * kSize;
    if (over) break;
    int sq = 0;
    while (board[sq / kSize][sq % kSize] != 0) sq++;
    board[sq / kSize][sq % kSize] = 2;
    over = fiveAt(sq / kSize, sq % kSize) || ++stones == kSize * kSize;
    if (!over) brain.send("TURN " + std::to_string(sq / kSize) + "," + std::to_string(sq % kSize));
  }
  brain.send("END");
  EXPECT_EQ(brain.next(), "OK");
  EXPECT_EQ(brain.exitCode(), 0);
}

}  // namespace
