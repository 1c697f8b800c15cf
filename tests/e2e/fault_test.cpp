// The brain under faults of its surroundings: a data folder that turns read-only, a file-size limit
// that refuses the memory file half-way, a kill in the middle of END. The memory file on disk is
// always a complete file, the old one or the new one, and every end has exit code 0.
//
// The tests run as root: where a permission must bite, the brain runs under setpriv with every
// capability dropped, which loses root's override of permission bits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "brain_driver.h"

namespace {

using namespace testing_support;

const std::string kStartGame = "> INFO folder $D|> START 15|OK|> BEGIN|MESSAGE creating player|7,7";
const std::string kHeader15("\x0f\0\0\0\x14\0\0\0\x08\0\0\0\x1e\0\0\0\xe8\x03\0\0", 20);

// An END that cannot write leaves the old file untouched and no temporary file behind, and says
// nothing about it. An END the brain can write, killed at any moment, leaves the old file or the
// new one, complete.
TEST(Faults, EndLeavesACompleteMemoryFile) {
  TempFolder temp;
  const std::string sub = temp.path() + "/velmaro", memory = sub + "/velmDat.0";
  // Prefixes of the brain's command in a shell; the size limit is 100 blocks of 512 bytes.
  const std::string noCapabilities = "exec setpriv --inh-caps=-all --bounding-set=-all --";
  for (const std::string& prefix :
       {noCapabilities, std::string("trap '' XFSZ; ulimit -f 100; exec")}) {
    SCOPED_TRACE(prefix);
    const bool readOnly = prefix == noCapabilities;  // else: the size limit bites
    if (readOnly && std::system((prefix + " true >/dev/null 2>&1").c_str()) != 0) continue;
    BrainDriver(VELMARO_BRAIN, temp.path()).run(kStartGame + "|> END|OK|<exit>", temp.path());
    const std::string old = readFile(memory);
    ASSERT_EQ(old.substr(0, 20), kHeader15);
    struct stat before = {}, after = {};
    stat(memory.c_str(), &before);
    BrainDriver brain(VELMARO_BRAIN, temp.path());
    brain.process.start({"/bin/sh", "-c", prefix + " '" VELMARO_BRAIN "'"}, temp.path());
    brain.run(kStartGame, temp.path());
    ASSERT_EQ(chmod(sub.c_str(), readOnly ? 0555 : 0755), 0);
    brain.run("> END|OK|<exit>");
    chmod(sub.c_str(), 0755);
    stat(memory.c_str(), &after);
    EXPECT_EQ(readFile(memory), old);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file must not have been replaced";
    EXPECT_FALSE(fileExists(memory + ".tmp"));
    EXPECT_EQ(readFile(sub + "/velmaro.log"), "") << "a failed write is not reported";
  }
  // The old file is not one a 15x15 game can read, so END writes a new one.
  const std::string old(358540, 'x');
  int sawOld = 0, sawNew = 0;
  for (int delayUs = 0; delayUs <= 30000; delayUs += 1500) {
    SCOPED_TRACE("kill " + std::to_string(delayUs) + " us after END");
    writeFile(memory, old);
    std::filesystem::remove(memory + ".tmp");
    BrainDriver brain(VELMARO_BRAIN, temp.path());
    brain.run(kStartGame, temp.path());
    brain.send("END");
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    brain.process.kill();
    const std::string now = readFile(memory);
    (now == old ? sawOld : sawNew)++;
    EXPECT_TRUE(now == old || (now.size() == old.size() && now.substr(0, 20) == kHeader15));
  }
  std::printf("kills during END: %d left the old file, %d the new one\n", sawOld, sawNew);
  EXPECT_GT(sawNew, 0) << "the longest delay should let END finish";
}

}  // namespace
