// ArenaOptions: the match as the command line describes it. Filled once by
// parseOptions() before anything starts; read-only afterwards.
#pragma once

#include <string>
#include <vector>

#include "shard.h"
#include "statistics.h"

namespace arena {

constexpr int kDefaultSize = 15;
constexpr int kMinSize = 5;
constexpr int kMaxSize = 26;  // SGF writes one letter per coordinate
constexpr int kDefaultTurnMs = 5000;
// Slack on top of the turn (and match) time before a late reply loses: it
// absorbs the pipe round trip and the scheduler of a busy machine, and a
// brain's one-off start-up work (allocating its tables) on its first move.
constexpr int kDefaultToleranceMs = 1000;
constexpr int kDefaultGamesWithoutOpenings = 2;
// Sent as timeout_match and time_left when the match time is unlimited
// (some brains read timeout_match 0 as "no time at all").
constexpr int kUnlimitedMatchMs = 1000000000;
// The most games a match may have.
constexpr int kMaxGames = 1000000;
// The largest --tolerance (an hour) and --memory (what INFO max_memory holds).
constexpr int kMaxToleranceMs = 3600000;
constexpr long long kMaxMemoryBytes = 2147483647;
// More games at once than this is a typing error, not a machine.
constexpr int kMaxConcurrency = 256;
// The highest TCP port; --serve 0 takes any free one.
constexpr int kMaxPort = 65535;

struct ArenaOptions {
  std::vector<std::string> engines;  // two shell commands; one or two with --serve
  // engineInfo[e]: the --engine-info lines of engine e, each sent as
  // "INFO <line>" after the arena's own settings at every START.
  std::vector<std::vector<std::string>> engineInfo;
  int size = kDefaultSize;
  int games = 0;  // 0: two per opening, or kDefaultGamesWithoutOpenings
  int turnMs = kDefaultTurnMs;
  bool turnGiven = false;  // --turn was on the command line
  int matchMs = 0;         // 0: no limit for the game
  // --tc BASE+INC: each engine's clock starts a game at clockMs and gains
  // incrementMs after each of its moves; clockMs 0: no clock.
  int clockMs = 0;
  int incrementMs = 0;
  int concurrency = 1;  // games played at once
  bool sprt = false;    // stop by the SPRT in `sprtTest`
  SprtTest sprtTest;
  int toleranceMs = kDefaultToleranceMs;
  long long maxMemory = 0;  // INFO max_memory; 0: no limit
  std::string openingsFile;
  std::string psqFolder;
  std::string sgfFile;
  std::string messagesFile;  // --messages: the engines' MESSAGE lines; empty: none
  std::string dataFolder;    // parent of the engines' data folders; empty: current folder
  bool show = false;
  Shard shard;              // --shard K/N; 1/1: the whole match
  bool fresh = false;       // --fresh (or --shard): new brains in emptied folders every game
  std::string resultsFile;  // --results: the match, or the shard, as JSON; empty: none
  int servePort = -1;       // --serve: the board page's port (0: any free one)
  std::string listenAddress = "127.0.0.1";  // --listen: where the page is served
};

// False with a message in `error` for an unknown option or a bad value.
// `help` is set for --help.
bool parseOptions(int argc, const char* const* argv, ArenaOptions& options, bool& help,
                  std::string& error);

// `velmaro-arena merge [--sprt ...] [--results FILE] RESULTS...`
struct MergeOptions {
  std::vector<std::string> files;  // the slices' results files
  bool sprt = false;
  SprtTest sprtTest;
  std::string resultsFile;  // the merged match as one results file; empty: none
};

// argv[1] is "merge". False with a message in `error` as parseOptions.
bool parseMergeOptions(int argc, const char* const* argv, MergeOptions& options, bool& help,
                       std::string& error);

std::string usageText();

}  // namespace arena
