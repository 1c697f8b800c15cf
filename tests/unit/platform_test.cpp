// The platform layer (text, folders, events, aligned memory) and what in-process harnesses rely
// on: the line splitter, the fatal-error hook, the protocol run synchronously.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <tuple>

#include "brain_driver.h"
#include "log/log.h"
#include "platform/event.h"
#include "platform/filesystem.h"
#include "platform/memory.h"
#include "platform/text.h"
#include "protocol/command_loop.h"
#include "protocol/session.h"
#include "search/brain.h"

namespace {

using testing_support::TempFolder;

TEST(Platform, CompareNoCase) {
  using platform::compareNoCase;
  EXPECT_TRUE(compareNoCase("DONE", "done") == 0 && compareNoCase("donex", "done") > 0);
  EXPECT_TRUE(compareNoCase("abc", "ABD") < 0 && compareNoCase("", "", 5) == 0);
  EXPECT_TRUE(compareNoCase("ENDGAME", "end", 3) == 0 && compareNoCase("EN", "end", 3) < 0);
}

// The folders a path makes: exactly the named folder and its missing parents (0777 less the umask),
// nothing else on the path. Relative paths start at the working folder; "." and ".." are followed
// as the system does; repeated and trailing separators name nothing more; one-letter and odd names
// are taken literally (never by a shell); an existing folder is fine. Under a plain file nothing is
// made; the root exists.
TEST(Platform, FoldersMadeAreTheNamedOneAndItsMissingParents) {
  namespace fs = std::filesystem;
  const fs::path home = fs::current_path();
  auto make = [](const std::string& path) { return platform::makeDirectories(path.c_str()); };
  // Path, whether it names an existing folder afterwards, the folders made.
  const std::tuple<std::string, bool, std::string> cases[] = {
      {"a", true, "a/"},
      {"b/c/d", true, "b/ b/c/ b/c/d/"},
      {"./e/f/", true, "e/ e/f/"},
      {"gg//h///", true, "gg/ gg/h/"},
      {"x/./y/../z", true, "x/ x/y/ x/z/"},
      {"@/a b;c/$(touch q)/e'f\"g", true,
       "@/ @/a b;c/ @/a b;c/$(touch q)/ @/a b;c/$(touch q)/e'f\"g/"},
      {"plain/sub", false, ""},
      {"plain", false, ""},
      {"", false, ""}};
  for (const auto& [path, made, folders] : cases) {
    SCOPED_TRACE(path);
    TempFolder temp;
    testing_support::writeFile(temp.path() + "/plain", "");
    fs::current_path(temp.path());
    EXPECT_EQ(make(path), made);
    EXPECT_EQ(make(path), made) << "again";
    fs::current_path(home);
    EXPECT_EQ(testing_support::listTree(temp.path(), "plain"), folders);
  }
  TempFolder temp;  // absolute paths
  const std::string top = temp.path();
  EXPECT_TRUE(make("/") && make(top) && make(top + "/1/2") && fs::is_directory(top + "/1/2"));
}

// Events: an auto-reset event lets one wait through per set() and clears
// itself; a manual-reset one lets every wait through until reset(). A wait
// on an unset event returns once another thread sets it.
TEST(Platform, AutoAndManualResetEvents) {
  for (bool manual : {false, true}) {
    platform::Event event(manual, true);
    std::string seen;  // '1' for each poll that finds the event set
    auto poll = [&] { seen += event.waitFor(0) ? '1' : '0'; };
    for (char step : std::string("ppswpsrpssppr")) {  // poll, set, wait, reset
      if (step == 'p') poll();
      if (step == 's') event.set();
      if (step == 'w') event.wait();
      if (step == 'r') event.reset();
    }
    std::thread setter([&] { event.set(); });
    event.wait();
    setter.join();
    poll();
    EXPECT_EQ(seen, manual ? "1110111" : "1000100") << manual;
  }
}

// Blocks at every alignment the engine asks for, up to a huge page: aligned, zeroed, released. The
// engine's objects, whose squares are declared 32-byte aligned (AVX2 builds store them 32 bytes at
// a time), land at their alignment whichever new creates them, and zeroed.
TEST(Platform, AlignedZeroedMemory) {
  for (std::size_t alignment : {1, 8, 16, 32, 64, 4096, 2 << 20})
    for (std::size_t bytes : {1, 100, 1 << 20}) {
      auto* block = static_cast<unsigned char*>(platform::allocateZeroed(bytes, alignment));
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignment, 0u) << alignment;
      EXPECT_TRUE(std::all_of(block, block + bytes, [](unsigned char c) { return c == 0; }));
      block[bytes - 1] = 1;
      platform::freeZeroed(block);
    }
  EXPECT_EQ(platform::allocateZeroed(SIZE_MAX - 8, 64), nullptr);
  static_assert(alignof(velm::VelmBrain) >= 32 && alignof(velm::VelmBoard) >= 32 &&
                alignof(velm::BoardSquare) == 32);
  auto aligned = [](const auto& p) {  // at the alignment of its type
    return reinterpret_cast<std::uintptr_t>(&*p) % alignof(decltype(*p)) == 0;
  };
  for (int round = 0; round < 3; round++) {
    std::unique_ptr<velm::VelmBrain> brain(new velm::VelmBrain),
        spare(new (std::nothrow) velm::VelmBrain);  // deleted after the worker naming its tables
    auto board = std::make_unique<velm::VelmBoard>();
    auto worker = std::make_unique<velm::SearchWorker>(brain->tables, brain->memo, brain->params);
    EXPECT_TRUE(aligned(brain) && aligned(spare) && aligned(board) && aligned(worker));
    EXPECT_TRUE(aligned(&brain->board().square(0)) && brain->nodes() == 0 &&
                brain->board().key() == 0 && worker->rootCount == 0);
  }
}

// Lines as the manager sends them: a CR before the LF dropped, NUL ending
// the text, lines kept whole up to 4096 characters and longer ones refused
// whole (their text dropped), never spilling into the next line.
TEST(Platform, LineSplitter) {
  const std::string longest(kMaxLineLength, 'a'), tooLong = longest + "b\n";
  const std::pair<std::string, std::string> cases[] = {
      {"START 15\nBEGIN\r\n\nno end", "START 15|BEGIN||"},
      {"a\rb\na\r\r\n", "a\rb|a\r|"},
      {std::string("ab\0cd\n\0\r\n", 9), "ab||"},
      {longest + "\n" + longest + "\r\n", longest + "|" + longest + "|"},
      {tooLong + longest + "b\r\n" + longest + tooLong + "END\n", "<long>|<long>|<long>|END|"}};
  for (const auto& [bytes, lines] : cases) {
    LineSplitter splitter;
    char cmd[kCommandCapacity];
    std::string got;
    for (char c : bytes)
      if (splitter.add(c, cmd)) got += (splitter.tooLong ? "<long>" : cmd) + std::string("|");
    EXPECT_EQ(got, lines) << bytes.size();
  }
}

struct FatalExit {};

// A replaced hook gets each fatal error after its line is written, and may return into the harness;
// the next fatal error gets in again. The protocol driven in process, as the fuzzing harness drives
// it, answers moves inside handleLine and is back in its start-up state after a fatal error or END.
TEST(Platform, FatalErrorsInHarnesses) {
  setFatalExitHook([] { throw FatalExit{}; });
  for (const char* message : {"Game over", "Size"}) EXPECT_THROW(erro(message), FatalExit);
  TempFolder temp;
  setSynchronousTurns(true);
  auto run = [](std::string lines) {
    ::testing::internal::CaptureStdout();
    for (std::size_t end; (end = lines.find('|')) != std::string::npos; lines.erase(0, end + 1)) {
      try {
        if (handleLine(lines.substr(0, end).c_str(), 0)) resetCommandLoop();
      } catch (const FatalExit&) {
        resetCommandLoop();
      }
    }
    return ::testing::internal::GetCapturedStdout();
  };
  std::string fullBoard = "INFO folder " + temp.path() + "|START 5|BOARD|";
  for (int sq = 0; sq < 25; sq++)
    fullBoard += std::to_string(sq / 5) + "," + std::to_string(sq % 5) + (sq % 2 ? ",2|" : ",1|");
  EXPECT_EQ(run(fullBoard + "done|"), "OK\nMESSAGE creating player\nError: Game over\n");
  EXPECT_EQ(gameSettings.width, 0) << "the reset puts back the start-up settings";
  // The reset ended the player: a game of the same size creates a new one.
  EXPECT_EQ(run("INFO folder " + temp.path() + "|START 5|BEGIN|END|END|"),
            "OK\nMESSAGE creating player\n2,2\nOK\nERROR ending a non inited player\n");
  EXPECT_TRUE(std::filesystem::exists(temp.path() + "/velmaro/velmDat.0"));
  setSynchronousTurns(false);
  setFatalExitHook(nullptr);
}

}  // namespace
