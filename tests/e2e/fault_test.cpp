// The brain under faults of its surroundings: a data folder that turns
// read-only, a file system that refuses the memory file half-way, a kill in
// the middle of END, damaged memory files and a folder it may not write. The
// memory file on disk is always a complete file (the old one or the new
// one), and every end still has exit code 0.
//
// The tests run as root, whom file permissions do not stop. Where a
// permission must bite, the brain runs under setpriv with every capability
// dropped: it stays root by number but loses the override of permission
// bits, so a folder with mode 0555 really refuses it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "brain_driver.h"

namespace {

using namespace testing_support;

constexpr long kMemoryFileSize = 358540;
constexpr long kFillIndexOffset = 352020;
constexpr long kMemoKeysOffset = 352140;
constexpr int kBlocks = 22;
// Shell prefixes of the brain's command.
const std::string kDropCapabilities = "exec setpriv --inh-caps=-all --bounding-set=-all --";
const std::string kFileSizeLimit = "trap '' XFSZ; ulimit -f 100; exec";  // 100 blocks of 512 bytes

bool setprivDropsPermissions() {
  return std::system((kDropCapabilities + " true >/dev/null 2>&1").c_str()) == 0;
}

void put32(std::string& file, long offset, std::int32_t v) {
  for (int i = 0; i < 4; i++) file[offset + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

std::int32_t get32(const std::string& file, long offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; i--) v = (v << 8) | static_cast<unsigned char>(file[offset + i]);
  return static_cast<std::int32_t>(v);
}

// A well-formed memory file for a board of the given side: one remembered
// position in block 3 and recognisable random numbers.
std::string memoryFile(int side) {
  std::string file(kMemoryFileSize, '\0');
  const std::int32_t header[5] = {side, 20, 8, 30, 1000};
  for (int i = 0; i < 5; i++) put32(file, 4 * i, header[i]);
  const long entry = 20 + 3 * 1000 * 16;
  for (int i = 0; i < 8; i++) file[entry + i] = static_cast<char>(0x11 * (i + 1));
  put32(file, entry + 8, 1);
  put32(file, kFillIndexOffset + 4 * 3, 1);
  for (long i = kMemoKeysOffset; i < kMemoryFileSize; i++) file[i] = static_cast<char>(i * 7);
  return file;
}

// True when bytes form a complete, valid memory file for a side x side board.
::testing::AssertionResult isCompleteMemoryFile(const std::string& bytes, int side) {
  if (static_cast<long>(bytes.size()) != kMemoryFileSize)
    return ::testing::AssertionFailure() << "size " << bytes.size();
  const std::int32_t header[5] = {side, 20, 8, 30, 1000};
  for (int i = 0; i < 5; i++)
    if (get32(bytes, 4 * i) != header[i]) return ::testing::AssertionFailure() << "header " << i;
  for (int b = 0; b < kBlocks; b++) {
    const std::int32_t f = get32(bytes, kFillIndexOffset + 4 * b);
    if (f < 0 || f >= 1000) return ::testing::AssertionFailure() << "fill index " << f;
  }
  return ::testing::AssertionSuccess();
}

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class Faults : public ::testing::Test {
 protected:
  TempFolder temp;
  std::string sub() { return temp.path() + "/velmaro"; }
  std::string memory() { return sub() + "/velmDat.0"; }

  // Starts the brain again through the shell, behind a prefix.
  void launch(BrainDriver& brain, const std::string& shellPrefix) {
    brain.process.start({"/bin/sh", "-c", shellPrefix + " '" VELMARO_BRAIN "'"}, temp.path());
  }
  // Sets the data folder and a 15x15 board, and has the player created.
  void startGame(BrainDriver& brain) {
    brain.run("> INFO folder $D|> START 15|OK|> BEGIN|MESSAGE creating player|7,7", temp.path());
  }
  void end(BrainDriver& brain) { brain.run("> END|OK|<exit>"); }
};

// The old file stays, untouched, and no temporary file is left behind.
TEST_F(Faults, AnEndThatCannotWriteKeepsTheOldMemory) {
  for (const std::string& prefix : {kDropCapabilities, kFileSizeLimit}) {
    SCOPED_TRACE(prefix);
    const bool readOnlyFolder = prefix == kDropCapabilities;  // else: the file-size limit bites
    if (readOnlyFolder && !setprivDropsPermissions()) continue;
    {
      BrainDriver first(VELMARO_BRAIN, temp.path());
      startGame(first);
      end(first);
    }
    const std::string old = readFile(memory());
    ASSERT_TRUE(isCompleteMemoryFile(old, 15));
    const ino_t oldInode = inodeOf(memory());
    BrainDriver brain(VELMARO_BRAIN, temp.path());
    launch(brain, prefix);
    startGame(brain);
    ASSERT_EQ(chmod(sub().c_str(), readOnlyFolder ? 0555 : 0755), 0);
    end(brain);
    chmod(sub().c_str(), 0755);
    EXPECT_EQ(readFile(memory()), old);
    EXPECT_EQ(inodeOf(memory()), oldInode) << "the file must not have been replaced";
    EXPECT_FALSE(fileExists(memory() + ".tmp"));
    EXPECT_EQ(readFile(sub() + "/velmaro.log"), "") << "a failed write is not reported";
  }
}

TEST_F(Faults, AKillDuringEndLeavesTheOldOrTheNewCompleteFile) {
  // The old file is for 20x20: a 15x15 game ignores it and END writes a new
  // 15x15 file, so the two are told apart by their first field.
  const std::string old = memoryFile(20);
  int sawOld = 0, sawNew = 0;
  for (int delayUs = 0; delayUs <= 30000; delayUs += 1500) {
    SCOPED_TRACE("kill " + std::to_string(delayUs) + " us after END");
    std::filesystem::create_directories(sub());
    writeFile(memory(), old);
    std::remove((memory() + ".tmp").c_str());
    BrainDriver brain(VELMARO_BRAIN, temp.path());
    startGame(brain);
    brain.send("END");
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    brain.process.kill();
    const std::string now = readFile(memory());
    if (now == old) {
      sawOld++;
    } else {
      EXPECT_TRUE(isCompleteMemoryFile(now, 15));
      sawNew++;
    }
  }
  std::printf("kills during END: %d left the old file, %d the new one\n", sawOld, sawNew);
  EXPECT_GT(sawNew, 0) << "the longest delay should let END finish";
}

// A damaged file is ignored (fresh tables: nothing remembered, new random
// numbers) and replaced at END; the undamaged file is written back as read.
TEST_F(Faults, DamagedMemoryFilesAreReplacedAtEnd) {
  std::string badFill = memoryFile(15);
  put32(badFill, kFillIndexOffset + 4 * 5, 1000);
  for (const std::string& bytes : {memoryFile(15).substr(0, 200000), badFill, memoryFile(15)}) {
    std::filesystem::create_directories(sub());
    writeFile(memory(), bytes);
    BrainDriver brain(VELMARO_BRAIN, temp.path());
    startGame(brain);
    end(brain);
    const std::string now = readFile(memory());
    if (bytes == memoryFile(15)) {
      EXPECT_EQ(now, bytes);
    } else {
      EXPECT_TRUE(isCompleteMemoryFile(now, 15));
      EXPECT_EQ(get32(now, kFillIndexOffset + 4 * 3), 0);
      EXPECT_NE(now.substr(kMemoKeysOffset, 64), memoryFile(15).substr(kMemoKeysOffset, 64));
    }
  }
}

TEST_F(Faults, AReadOnlyDataFolderMeansNoFilesAndTheGameGoesOn) {
  if (!setprivDropsPermissions()) GTEST_SKIP() << "setpriv cannot drop capabilities here";
  ASSERT_EQ(chmod(temp.path().c_str(), 0555), 0);
  BrainDriver brain(VELMARO_BRAIN, temp.path());
  launch(brain, kDropCapabilities);
  brain.run(
      "> INFO folder $D|> START 15|OK|> BEGIN|MESSAGE creating player|"
      "MESSAGE cannot use the data folder; this run writes no files|7,7|> END|OK|<exit>",
      temp.path());
  EXPECT_FALSE(fileExists(sub()));
}

}  // namespace
