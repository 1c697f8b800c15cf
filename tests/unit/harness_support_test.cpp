// What the in-process harnesses rely on: the line splitter shared with the
// command loop, the replaceable fatal-exit hook, synchronous move
// computation with a protocol reset, and the engine's node budget.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "log/log.h"
#include "protocol/command_loop.h"
#include "protocol/session.h"
#include "search_test_util.h"

namespace {

std::vector<std::string> splitLines(const std::string& bytes) {
  LineSplitter splitter;
  char cmd[kCommandCapacity];
  std::vector<std::string> lines;
  for (char c : bytes)
    if (splitter.add(c, cmd)) lines.push_back(cmd);
  return lines;
}

TEST(LineSplitter, CutsLinesAsTheManagerSendsThem) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(splitLines("START 15\nBEGIN\r\n\n"), (Lines{"START 15", "BEGIN", ""}));
  EXPECT_EQ(splitLines("no end"), Lines{}) << "an unfinished line is not a line";
  EXPECT_EQ(splitLines("a\rb\n"), Lines{"a\rb"}) << "a CR alone does not end a line";
  EXPECT_EQ(splitLines("a\r\r\n"), Lines{"a\r"}) << "one CR is removed";
  EXPECT_EQ(splitLines(std::string("ab\0cd\n", 6)), Lines{"ab"}) << "NUL ends the text";
  EXPECT_EQ(splitLines(std::string("\0\r\n", 3)), Lines{""});
}

// Lines are kept whole up to 4096 characters; a longer one is refused whole
// (marked, its text dropped) and never spills into the next line.
TEST(LineSplitter, KeepsLinesWholeAndRefusesLongerOnes) {
  LineSplitter splitter;
  char cmd[kCommandCapacity];
  struct Case {
    std::string bytes;
    std::string line;
    bool tooLong;
  };
  const std::string longest(kMaxLineLength, 'a');
  const Case cases[] = {{longest + "\n", longest, false},     {longest + "\r\n", longest, false},
                        {longest + "b\n", "", true},          {longest + "b\r\n", "", true},
                        {longest + longest + "\n", "", true}, {"END\n", "END", false}};
  for (const Case& c : cases) {
    std::vector<std::string> lines;
    bool tooLong = false;
    for (char ch : c.bytes)
      if (splitter.add(ch, cmd)) {
        lines.push_back(cmd);
        tooLong = splitter.tooLong;
      }
    ASSERT_EQ(lines.size(), 1u) << c.bytes.size();
    EXPECT_EQ(lines[0], c.line) << c.bytes.size();
    EXPECT_EQ(tooLong, c.tooLong) << c.bytes.size();
  }
}

struct FatalExit {
  std::string at;
};

class HookedFatal : public ::testing::Test {
 protected:
  void SetUp() override {
    setFatalExitHook([] { throw FatalExit{}; });
  }
  void TearDown() override { setFatalExitHook(nullptr); }
};

TEST_F(HookedFatal, EveryFatalErrorReachesTheHook) {
  for (const char* message : {"Game over", "Size"}) {
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(erro(message), FatalExit);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string("Error: ") + message + "\n");
  }
}

// The protocol driven in process, as the fuzzing harness drives it.
class SynchronousProtocol : public HookedFatal {
 protected:
  std::string folder;

  void SetUp() override {
    HookedFatal::SetUp();
    std::string pattern = (std::filesystem::temp_directory_path() / "velmaro-sync-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    setSynchronousTurns(true);
  }
  void TearDown() override {
    resetCommandLoop();
    setSynchronousTurns(false);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    HookedFatal::TearDown();
  }
  // The replies to the lines, collected when they are handled.
  std::string run(const std::vector<std::string>& lines) {
    ::testing::internal::CaptureStdout();
    for (const std::string& line : lines) {
      try {
        if (handleLine(line.c_str(), 0)) resetCommandLoop();
      } catch (const FatalExit&) {
        resetCommandLoop();
      }
    }
    return ::testing::internal::GetCapturedStdout();
  }
};

TEST_F(SynchronousProtocol, MovesAreAnsweredInsideHandleLineAndFatalErrorsReset) {
  const std::string info = "INFO folder " + folder;
  std::vector<std::string> fullBoard = {info, "START 5", "BOARD"};
  for (int sq = 0; sq < 25; sq++)
    fullBoard.push_back(std::to_string(sq / 5) + "," + std::to_string(sq % 5) + "," +
                        (sq % 2 == 0 ? "1" : "2"));
  fullBoard.push_back("done");
  EXPECT_EQ(run(fullBoard), "OK\nMESSAGE creating player\nError: Game over\n");
  EXPECT_EQ(gameSettings.width, 0) << "the reset puts back the start-up settings";
  EXPECT_EQ(run({info, "START 7", "BEGIN", "END", "END"}),
            "OK\nMESSAGE creating player\n3,3\nOK\nERROR ending a non inited player\n");
  EXPECT_TRUE(std::filesystem::exists(folder + "/velmaro/velmDat.0"));
}

using velm::search_test::FakeClock;

class NodeBudget : public velm::search_test::SearchSuite {
 protected:
  // Four quiet stones: no opening rule and no forced answer, so the
  // decision searches.
  void position() { draw({"X.O", "...", "O.X"}, 6, 6); }
};

TEST_F(NodeBudget, ADecisionStopsWhenItsBudgetIsSpent) {
  position();
  FakeClock::reset(0);
  b().clock = FakeClock::read;  // the clock stands still: only the budget stops
  b().nodeLimit = 700;
  int x = -1, y = -1;
  b().thinkMove(x, y);
  b().nodeLimit = 0;
  // Stopped at the budget: the nodes already entered return at once, each
  // spending at most one more unit on the way out.
  EXPECT_GE(b().nodeBudgetUsed, 700u);
  EXPECT_LE(b().nodeBudgetUsed, 700u + 24u);
  ASSERT_TRUE(x >= 0 && x < 15 && y >= 0 && y < 15);
  EXPECT_EQ(b().squares[sq(x, y)].stone, velm::kCellEmpty);
}

TEST_F(NodeBudget, ABudgetThatIsNotReachedChangesNothing) {
  int moves[2][2];
  std::uint64_t nodes[2];
  for (int run = 0; run < 2; run++) {
    newGame(15, 15);
    position();
    FakeClock::reset(0);
    b().clock = FakeClock::read;
    b().maxDepth = 4;
    b().nodeLimit = run == 0 ? 0 : 1000000000000ull;
    const std::uint64_t before = b().nodes;
    b().thinkMove(moves[run][0], moves[run][1]);
    nodes[run] = b().nodes - before;
  }
  b().nodeLimit = 0;
  EXPECT_EQ(nodes[0], nodes[1]);
  EXPECT_EQ(moves[0][0], moves[1][0]);
  EXPECT_EQ(moves[0][1], moves[1][1]);
}

}  // namespace
