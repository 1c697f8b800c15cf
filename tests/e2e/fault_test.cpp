// The brain under faults of its surroundings: a data folder that turns
// read-only, a file-size limit that refuses the memory file half-way, a
// kill in the middle of END, a folder it may not write. The memory file on
// disk is always a complete file, the old one or the new one, and every end
// has exit code 0.
//
// The tests run as root, whom file permissions do not stop. Where a
// permission must bite, the brain runs under setpriv with every capability
// dropped: it stays root by number but loses the override of permission
// bits, so a folder with mode 0555 really refuses it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "brain_driver.h"

namespace {

using namespace testing_support;

// Prefixes of the brain's command in a shell.
const std::string kNoCapabilities = "exec setpriv --inh-caps=-all --bounding-set=-all --";
const std::string kFileSizeLimit = "trap '' XFSZ; ulimit -f 100; exec";  // 100 blocks of 512 bytes
const std::string kStartGame = "> INFO folder $D|> START 15|OK|> BEGIN|MESSAGE creating player|";
const std::string kHeader15("\x0f\0\0\0\x14\0\0\0\x08\0\0\0\x1e\0\0\0\xe8\x03\0\0", 20);

bool setprivDropsCapabilities() {
  return std::system((kNoCapabilities + " true >/dev/null 2>&1").c_str()) == 0;
}

class Faults : public ::testing::Test {
 protected:
  TempFolder temp;
  const std::string sub = temp.path() + "/velmaro", memory = sub + "/velmDat.0";

  // The brain in the test's folder, through the shell behind a prefix.
  void launch(BrainDriver& brain, const std::string& prefix) {
    brain.process.start({"/bin/sh", "-c", prefix + " '" VELMARO_BRAIN "'"}, temp.path());
  }
  // A game whose END writes the memory file.
  void game(BrainDriver& brain) { brain.run(kStartGame + "7,7|> END|OK|<exit>", temp.path()); }
};

// An END that cannot write leaves the old file untouched and no temporary
// file behind, and says nothing about it.
TEST_F(Faults, AnEndThatCannotWriteKeepsTheOldMemory) {
  for (const std::string& prefix : {kNoCapabilities, kFileSizeLimit}) {
    SCOPED_TRACE(prefix);
    const bool readOnly = prefix == kNoCapabilities;  // else: the size limit bites
    if (readOnly && !setprivDropsCapabilities()) continue;
    BrainDriver first(VELMARO_BRAIN, temp.path());
    game(first);
    const std::string old = readFile(memory);
    ASSERT_EQ(old.substr(0, 20), kHeader15);
    struct stat before = {}, after = {};
    stat(memory.c_str(), &before);
    BrainDriver brain(VELMARO_BRAIN, temp.path());
    launch(brain, prefix);
    brain.run(kStartGame + "7,7", temp.path());
    ASSERT_EQ(chmod(sub.c_str(), readOnly ? 0555 : 0755), 0);
    brain.run("> END|OK|<exit>");
    chmod(sub.c_str(), 0755);
    stat(memory.c_str(), &after);
    EXPECT_EQ(readFile(memory), old);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file must not have been replaced";
    EXPECT_FALSE(fileExists(memory + ".tmp"));
    EXPECT_EQ(readFile(sub + "/velmaro.log"), "") << "a failed write is not reported";
  }
}

// The old file is not one a 15x15 game can read, so END writes a new one:
// a kill at any moment of END leaves one or the other, complete.
TEST_F(Faults, AKillDuringEndLeavesTheOldOrTheNewCompleteFile) {
  const std::string old(358540, 'x');
  int sawOld = 0, sawNew = 0;
  for (int delayUs = 0; delayUs <= 30000; delayUs += 1500) {
    SCOPED_TRACE("kill " + std::to_string(delayUs) + " us after END");
    std::filesystem::create_directories(sub);
    writeFile(memory, old);
    std::filesystem::remove(memory + ".tmp");
    BrainDriver brain(VELMARO_BRAIN, temp.path());
    brain.run(kStartGame + "7,7", temp.path());
    brain.send("END");
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    brain.process.kill();
    const std::string now = readFile(memory);
    sawOld += now == old;
    sawNew += now != old;
    EXPECT_TRUE(now == old || (now.size() == old.size() && now.substr(0, 20) == kHeader15));
  }
  std::printf("kills during END: %d left the old file, %d the new one\n", sawOld, sawNew);
  EXPECT_GT(sawNew, 0) << "the longest delay should let END finish";
}

TEST_F(Faults, AReadOnlyDataFolderMeansNoFilesAndTheGameGoesOn) {
  if (!setprivDropsCapabilities()) GTEST_SKIP() << "setpriv cannot drop capabilities here";
  ASSERT_EQ(chmod(temp.path().c_str(), 0555), 0);
  BrainDriver brain(VELMARO_BRAIN, temp.path());
  launch(brain, kNoCapabilities);
  brain.run(kStartGame + "MESSAGE cannot use the data folder; this run writes no files|7,7|" +
                "> END|OK|<exit>",
            temp.path());
  EXPECT_FALSE(fileExists(sub));
}

}  // namespace
