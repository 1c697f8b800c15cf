// The game memory file moves between the Linux and the Windows brain: each
// reads what the other wrote.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "brain_driver.h"
#include "brain_under_test.h"

namespace {

using testing_support::BrainDriver;
using testing_support::readFile;
using testing_support::TempFolder;

constexpr long kLostTableOffset = 20;  // after the five header numbers
constexpr long kFillIndexOffset = 352020;

// One short game and END: the brain loads the memory, stores nothing new (it
// does not lose) and writes the memory back.
void playOneMove(const std::string& program, const std::string& folderAsSeen,
                 const std::string& workDir) {
  BrainDriver brain(program, workDir);
  brain.send("INFO folder " + folderAsSeen);
  brain.send("START 15");
  ASSERT_EQ(brain.next(), "OK");
  brain.send("BEGIN");
  ASSERT_EQ(brain.next(), "MESSAGE creating player");
  ASSERT_EQ(brain.next(), "7,7");
  brain.send("END");
  ASSERT_EQ(brain.next(), "OK");
  ASSERT_EQ(brain.exitCode(30000), 0);
}

// Puts a remembered position into block 0, slot 0 of a memory file, so a
// reader that ignored the file would lose it.
std::string markFile(const std::string& path) {
  std::string bytes = readFile(path);
  const char entry[16] = {1, 2, 3, 4, 5, 6, 7, 8, 1, 0, 0, 0, 0, 0, 0, 0};
  bytes.replace(kLostTableOffset, 16, entry, 16);
  bytes[kFillIndexOffset] = 1;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return bytes;
}

TEST(MemoryInterchange, WindowsReadsWhatLinuxWrote) {
  TempFolder temp;
  std::string file = temp.path() + "/velmaro/velmDat.0";
  playOneMove(VELMARO_LINUX_BRAIN, temp.path(), temp.path());
  std::string marked = markFile(file);
  playOneMove(VELMARO_BRAIN, testing_support::brainPath(temp.path()), temp.path());
  EXPECT_EQ(readFile(file), marked);
}

TEST(MemoryInterchange, LinuxReadsWhatWindowsWrote) {
  TempFolder temp;
  std::string file = temp.path() + "/velmaro/velmDat.0";
  playOneMove(VELMARO_BRAIN, testing_support::brainPath(temp.path()), temp.path());
  std::string marked = markFile(file);
  playOneMove(VELMARO_LINUX_BRAIN, temp.path(), temp.path());
  EXPECT_EQ(readFile(file), marked);
}

}  // namespace
