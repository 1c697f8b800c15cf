// The brain under faults of its surroundings: a data folder that turns
// read-only, a file system that refuses the memory file half-way, a kill in
// the middle of END, damaged memory files and a folder it may not write. The memory file on disk
// must always be a complete file (the old one or the new one), and every end must still have exit
// code 0.
//
// The tests run as root, whom file permissions do not stop. Where a
// permission must bite, the brain runs under setpriv with every capability
// dropped: it stays root by number but loses the override of permission
// bits, so a folder with mode 0555 really refuses it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "brain_driver.h"

namespace {

using testing_support::BrainDriver;
using testing_support::fileExists;
using testing_support::fileSize;
using testing_support::readFile;
using testing_support::TempFolder;

constexpr long kMemoryFileSize = 358540;
constexpr long kFillIndexOffset = 352020;
constexpr long kMemoKeysOffset = 352140;
constexpr int kBlocks = 22;

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool setprivDropsPermissions() {
  return std::system("setpriv --inh-caps=-all --bounding-set=-all -- true >/dev/null 2>&1") == 0;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
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
  for (int i = 0; i < 5; i++) {
    if (get32(bytes, 4 * i) != header[i])
      return ::testing::AssertionFailure() << "header field " << i << " is " << get32(bytes, 4 * i);
  }
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

  // Starts the brain (through the shell with a prefix, when given), sets the
  // data folder and a 15x15 board, and has the player created by a move.
  void startGame(BrainDriver& brain, const std::string& shellPrefix = "") {
    if (!shellPrefix.empty()) {
      ASSERT_TRUE(brain.process.start({"/bin/sh", "-c", shellPrefix + " " + quoted(VELMARO_BRAIN)},
                                      temp.path()));
    }
    brain.send("INFO folder " + temp.path());
    brain.send("START 15");
    ASSERT_EQ(brain.next(), "OK");
    brain.send("BEGIN");
    ASSERT_EQ(brain.next(), "MESSAGE creating player");
    ASSERT_EQ(brain.next(), "7,7");
  }

  void end(BrainDriver& brain) {
    brain.send("END");
    EXPECT_EQ(brain.next(), "OK");
    EXPECT_EQ(brain.exitCode(), 0);
  }

  // A first run that leaves a memory file; returns its bytes.
  std::string firstRun() {
    BrainDriver brain(VELMARO_BRAIN, temp.path());
    startGame(brain);
    end(brain);
    return readFile(memory());
  }
};

TEST_F(Faults, AFolderThatTurnsReadOnlyBeforeEndKeepsTheOldMemory) {
  if (!setprivDropsPermissions()) GTEST_SKIP() << "setpriv cannot drop capabilities here";
  const std::string old = firstRun();
  ASSERT_TRUE(isCompleteMemoryFile(old, 15));
  const ino_t oldInode = inodeOf(memory());

  BrainDriver brain(VELMARO_BRAIN, temp.path());
  startGame(brain, "exec setpriv --inh-caps=-all --bounding-set=-all --");
  ASSERT_EQ(chmod(sub().c_str(), 0555), 0);
  end(brain);
  EXPECT_EQ(readFile(memory()), old);
  EXPECT_EQ(inodeOf(memory()), oldInode) << "the file must not have been replaced";
  EXPECT_FALSE(fileExists(memory() + ".tmp"));
  EXPECT_EQ(readFile(sub() + "/velmaro.log"), "") << "a failed write is not reported";
}

TEST_F(Faults, AWriteRefusedHalfWayKeepsTheOldMemoryAndLeavesNoTemporaryFile) {
  const std::string old = firstRun();
  ASSERT_TRUE(isCompleteMemoryFile(old, 15));
  const ino_t oldInode = inodeOf(memory());

  // At most 100 blocks of 512 bytes per file, far below the memory file; the
  // signal that the limit raises is ignored, so the write just fails.
  BrainDriver brain(VELMARO_BRAIN, temp.path());
  startGame(brain, "trap '' XFSZ; ulimit -f 100; exec");
  end(brain);
  EXPECT_EQ(readFile(memory()), old);
  EXPECT_EQ(inodeOf(memory()), oldInode);
  EXPECT_FALSE(fileExists(memory() + ".tmp"));
}

TEST_F(Faults, AKillDuringEndLeavesTheOldOrTheNewCompleteFile) {
  // The old file is for 20x20: a 15x15 game ignores it and END writes a new
  // 15x15 file, so the two are told apart by their first field.
  const std::string old = memoryFile(20);
  int sawOld = 0, sawNew = 0;
  for (int delayUs = 0; delayUs <= 30000; delayUs += 1500) {
    SCOPED_TRACE("kill " + std::to_string(delayUs) + " us after END");
    std::error_code ignored;
    std::filesystem::create_directories(sub(), ignored);
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

TEST_F(Faults, DamagedMemoryFilesAreIgnoredAndReplacedAtEnd) {
  std::string badFill = memoryFile(15);
  put32(badFill, kFillIndexOffset + 4 * 5, 1000);
  std::string negativeFill = memoryFile(15);
  put32(negativeFill, kFillIndexOffset + 4 * 21, -1);
  const std::string cases[][2] = {
      {"truncated", memoryFile(15).substr(0, 200000)},
      {"header only", memoryFile(15).substr(0, 20)},
      {"oversized", memoryFile(15) + '\0'},
      {"fill index 1000", badFill},
      {"fill index -1", negativeFill},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    std::error_code ignored;
    std::filesystem::create_directories(sub(), ignored);
    writeFile(memory(), bytes);
    BrainDriver brain(VELMARO_BRAIN, temp.path());
    startGame(brain);
    end(brain);
    const std::string now = readFile(memory());
    EXPECT_TRUE(isCompleteMemoryFile(now, 15));
    // Fresh tables: nothing remembered, new random numbers.
    EXPECT_EQ(get32(now, kFillIndexOffset + 4 * 3), 0);
    EXPECT_NE(now.substr(kMemoKeysOffset, 64), memoryFile(15).substr(kMemoKeysOffset, 64));
  }
  // The same file undamaged is loaded and written back as it was.
  writeFile(memory(), memoryFile(15));
  BrainDriver brain(VELMARO_BRAIN, temp.path());
  startGame(brain);
  end(brain);
  EXPECT_EQ(readFile(memory()), memoryFile(15));
}

TEST_F(Faults, AReadOnlyDataFolderMeansNoFilesAndTheGameGoesOn) {
  if (!setprivDropsPermissions()) GTEST_SKIP() << "setpriv cannot drop capabilities here";
  ASSERT_EQ(chmod(temp.path().c_str(), 0555), 0);
  BrainDriver brain(VELMARO_BRAIN, temp.path());
  ASSERT_TRUE(brain.process.start(
      {"setpriv", "--inh-caps=-all", "--bounding-set=-all", "--", VELMARO_BRAIN}, temp.path()));
  brain.send("INFO folder " + temp.path());
  brain.send("START 15");
  EXPECT_EQ(brain.next(), "OK");
  brain.send("BEGIN");
  EXPECT_EQ(brain.next(), "MESSAGE creating player");
  EXPECT_EQ(brain.next(), "MESSAGE cannot use the data folder; this run writes no files");
  EXPECT_EQ(brain.next(), "7,7");
  end(brain);
  EXPECT_FALSE(fileExists(sub()));
}

}  // namespace
