// Fuzzing the manager's command stream: arbitrary bytes are cut into lines
// exactly as the brain reads standard input (LineSplitter) and handed to
// handleLine, with a real engine behind it. Every input starts from a brain
// just started (no player, default settings, an empty data folder). Moves are
// computed synchronously in handleLine, each held to a small node budget
// whatever INFO timeout_turn says. END, and the one fatal error a manager can
// provoke (a move request on a full board), would end the brain; here the
// protocol state is reset and the rest of the input goes to a new brain.
//
// INFO folder may name any path: so that the engine only writes inside the
// harness's temporary folder, a changed data folder is replaced by one of a
// few folders in it, picked by the length of the name: short names, a name as
// long as a data folder can be, and a plain file (where the data sub-folder
// cannot be made). An empty name (the working folder, where libFuzzer writes
// its findings) is kept out too.
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

// Work units per move decision: enough to search, stop and answer (the
// positions harness is the one that searches deeply).
constexpr unsigned long long kNodeBudget = 300;
constexpr const char* kPlainFile = "plain-file";
// No data folder set yet: no INFO line can name this (lines have no LF).
constexpr const char* kUnconfined = "\n";

std::string workFolder;  // the harness's temporary folder

// The folder that stands for a data folder the input named.
std::string mappedFolder(const char* named) {
  const std::size_t length = std::strlen(named);
  const std::string longest(kDataFolderCapacity - 1 - workFolder.size() - 1, 'x');
  const std::string folders[] = {kPlainFile, "a", "b b", longest};
  return workFolder + "/" + (length == 0 ? std::string("empty") : folders[length % 4]);
}

// Keeps the engine's files inside workFolder (see the note above), and its
// tables the smallest: a max_memory far below the engine's needs.
void confine(std::string& lastFolder) {
  if (gameSettings.info_max_memory >= 0) gameSettings.info_max_memory = 1;
  if (lastFolder == gameSettings.dataFolder) return;
  std::string mapped = mappedFolder(gameSettings.dataFolder);
  std::snprintf(gameSettings.dataFolder, sizeof gameSettings.dataFolder, "%s", mapped.c_str());
  lastFolder = gameSettings.dataFolder;
}

void freshWorkFolder() {
  fuzzing::clearFolder(workFolder);
  FUZZ_CHECK(std::ofstream(workFolder + "/" + kPlainFile).is_open());
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
  freshWorkFolder();
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
