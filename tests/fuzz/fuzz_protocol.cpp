// Fuzzing the manager's command stream: arbitrary bytes are cut into lines exactly as the brain
// reads standard input (LineSplitter) and handed to handleLine, with a real engine behind it that
// answers synchronously within a small node budget. Every input starts from a brain just started.
// END, and the one fatal error a manager can provoke (a move request on a full board), would end
// the brain; here the protocol state is reset and the rest of the input goes to a new brain.
//
// So that the engine writes only inside the harness's temporary folder, a data folder named by
// INFO folder is replaced, by the length of its name, with one of a few folders there: short
// names, a name as long as a data folder can be, a plain file (where the data sub-folder cannot be
// made), and "empty" for an empty name (the working folder, where libFuzzer writes its findings).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "platform/clock.h"
#include "protocol/brain_adapter.h"
#include "protocol/command_loop.h"
#include "protocol/session.h"

namespace {

// Work units per move decision: enough to search, stop and answer (the positions harness is the
// one that searches deeply).
constexpr unsigned long long kNodeBudget = 300;
constexpr const char* kPlainFile = "plain-file";
// No data folder set yet: no INFO line can name this (lines have no LF).
constexpr const char* kUnconfined = "\n";

std::string workFolder;  // the harness's temporary folder

// Keeps the engine's files inside workFolder, and its tables the smallest: a max_memory far below
// the engine's needs.
void confine(std::string& lastFolder) {
  if (gameSettings.info_max_memory >= 0) gameSettings.info_max_memory = 1;
  if (lastFolder == gameSettings.dataFolder) return;
  const std::size_t length = std::strlen(gameSettings.dataFolder);
  const std::string longest(kDataFolderCapacity - 1 - workFolder.size() - 1, 'x');
  const std::string folders[] = {kPlainFile, "a", "b b", longest};
  const std::string mapped = workFolder + "/" + (length == 0 ? "empty" : folders[length % 4]);
  std::snprintf(gameSettings.dataFolder, sizeof gameSettings.dataFolder, "%s", mapped.c_str());
  lastFolder = gameSettings.dataFolder;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The brain's replies are not needed; libFuzzer reports on standard error.
  FUZZ_CHECK(std::freopen("/dev/null", "w", stdout) != nullptr);
  workFolder = fuzzing::makeTempFolder("fuzz-protocol");
  fuzzing::installFatalHook();
  setSynchronousTurns(true);
  brain_set_node_limit(kNodeBudget);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::clearFolder(workFolder);
  FUZZ_CHECK(std::ofstream(workFolder + "/" + kPlainFile).is_open());
  resetCommandLoop();
  std::string lastFolder = kUnconfined;
  confine(lastFolder);
  LineSplitter splitter;
  char cmd[kCommandCapacity];
  for (std::size_t i = 0; i < size; i++) {
    if (!splitter.add(static_cast<char>(data[i]), cmd)) continue;
    bool ended = true;
    try {
      ended = splitter.tooLong ? handleTooLongLine() : handleLine(cmd, platform::monotonicMs());
    } catch (const fuzzing::FatalExit&) {
      // The brain would have ended here with exit code 0.
    }
    if (ended) {
      resetCommandLoop();
      lastFolder = kUnconfined;
    }
    confine(lastFolder);
  }
  // End of input: the brain would exit without writing anything.
  resetCommandLoop();
  return 0;
}
