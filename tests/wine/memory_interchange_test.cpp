// The game memory file moves between the Linux and the Windows brain: each reads what the other
// wrote.
#include <gtest/gtest.h>

#include <string>

#include "brain_driver.h"

namespace {

using namespace testing_support;

TEST(MemoryInterchange, EachBuildReadsWhatTheOtherWrote) {
  const std::string programs[2] = {VELMARO_LINUX_BRAIN, VELMARO_BRAIN};
  for (int writer = 0; writer < 2; writer++) {
    SCOPED_TRACE(programs[writer]);
    TempFolder temp;
    // One short game and END: the brain loads the memory, stores nothing new (it does not lose)
    // and writes the memory back.
    auto playOneMove = [&](int build) {
      const std::string folder = build == 0 ? temp.path() : brainPath(temp.path());
      BrainDriver(programs[build], temp.path())
          .run(
              "> INFO folder $D|> START 15|OK|> BEGIN|MESSAGE creating player|7,7|> END|OK|"
              "<exit 30000>",
              folder);
    };
    playOneMove(writer);
    // A remembered position in block 0, slot 0: a reader that ignored the file would lose it.
    const std::string file = temp.path() + "/velmaro/velmDat.0";
    std::string bytes = readFile(file);
    bytes.replace(20, 16, std::string("\1\2\3\4\5\6\7\10\1\0\0\0\0\0\0\0", 16));
    bytes[352020] = 1;  // its fill index
    writeFile(file, bytes);
    playOneMove(1 - writer);
    EXPECT_EQ(readFile(file), bytes);
  }
}

}  // namespace
