// velmaro-arena: plays a match between two Gomoku brains over the manager
// protocol and reports the result, or a shard of one; `velmaro-arena merge`
// adds up the shards. See README.md beside this file.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "console.h"
#include "display.h"
#include "interrupts.h"
#include "match.h"
#include "merge.h"
#include "openings.h"
#include "options.h"
#include "results.h"
#include "serve.h"

namespace {

// The exit code of a match stopped by Ctrl-C, as shells report a program
// ended by SIGINT.
constexpr int kInterruptedExitCode = 130;

int fail(const std::string& message) {
  std::fprintf(stderr, "velmaro-arena: %s\n", message.c_str());
  return 2;
}

bool makeFolder(const std::string& path, std::string& absolute) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) return false;
  absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
  while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
  return !ec;
}

// The slice this run played, for --results.
arena::Slice playedSlice(const arena::ArenaOptions& options, const arena::MatchPlan& plan,
                         const arena::MatchOutcome& outcome, const std::string& openingsHash) {
  arena::Slice slice;
  arena::MatchIdentity& m = slice.match;
  for (int e = 0; e < 2; ++e) {
    m.engines[e] = {plan.commands[e], plan.engineInfo[e], outcome.names[e]};
  }
  m.size = plan.rules.size;
  m.games = plan.totalGames;
  m.turnMs = plan.rules.turnMs;
  m.turnLimited = plan.rules.turnLimited;
  m.matchMs = plan.rules.matchMs;
  m.clockMs = plan.rules.clockMs;
  m.incrementMs = plan.rules.incrementMs;
  m.toleranceMs = plan.rules.toleranceMs;
  m.maxMemory = plan.rules.maxMemory;
  m.openings = !plan.openings.empty();
  if (m.openings) {
    m.openingsFile = options.openingsFile;
    m.openingsHash = openingsHash;
    m.openingsCount = static_cast<int>(plan.openings.size());
  }
  m.fresh = plan.fresh;
  slice.shard = options.shard;
  slice.complete = outcome.complete;
  slice.games = outcome.results;
  return slice;
}

int merge(int argc, char** argv) {
  arena::MergeOptions options;
  bool help = false;
  std::string error;
  if (!arena::parseMergeOptions(argc, argv, options, help, error)) {
    std::fprintf(stderr, "velmaro-arena: %s\n%s", error.c_str(), arena::usageText().c_str());
    return 2;
  }
  if (help) {
    std::printf("%s", arena::usageText().c_str());
    return 0;
  }
  return arena::mergeResults(options);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace arena;
  if (argc > 1 && std::string(argv[1]) == "merge") return merge(argc, argv);

  // Step 1. Signals first: from here on a Ctrl-C is never lost, and never
  // leaves a brain behind. Then the command line and the openings.
  if (!installInterruptHandlers()) return fail("cannot create a pipe");
  ArenaOptions options;
  bool help = false;
  std::string error;
  if (!parseOptions(argc, argv, options, help, error)) {
    std::fprintf(stderr, "velmaro-arena: %s\n%s", error.c_str(), usageText().c_str());
    return 2;
  }
  if (help) {
    std::printf("%s", usageText().c_str());
    return 0;
  }
  std::vector<Opening> openings;
  std::string openingsHash;
  if (!options.openingsFile.empty()) {
    if (!loadOpenings(options.openingsFile, openings, error)) return fail(error);
    for (const Opening& o : openings) {
      if (!checkOpening(o, options.size, error)) return fail(error);
    }
    if (!hashFile(options.openingsFile, openingsHash)) {
      return fail("cannot read the openings file " + options.openingsFile);
    }
  }
  int totalGames = options.games;
  if (totalGames == 0) {
    totalGames =
        openings.empty() ? kDefaultGamesWithoutOpenings : 2 * static_cast<int>(openings.size());
  }

  // Step 2. Prepare the folders: one data folder per engine and slot, so
  // that two copies of one brain, or two games at once, keep separate files.
  MatchPlan plan;
  plan.totalGames = totalGames;
  plan.games = shardGames(totalGames, options.shard);
  plan.concurrency = options.concurrency;
  plan.fresh = options.fresh;
  const std::string base = options.dataFolder.empty() ? "." : options.dataFolder;
  const int slots = slotCount(plan);
  for (int slot = 0; slot < slots; ++slot) {
    plan.folders.emplace_back(2);
    for (int e = 0; e < 2; ++e) {
      std::string path = base + "/arena-engine" + std::to_string(e + 1);
      if (options.concurrency > 1) path += "-slot" + std::to_string(slot + 1);
      if (!makeFolder(path, plan.folders.back()[e])) {
        return fail("cannot create the folder " + path);
      }
    }
  }
  // The board page plays one game at a time, in the first slot's folders.
  if (options.servePort >= 0) return serveBoardPage(options, plan.folders[0].data());
  if (!options.psqFolder.empty()) {
    std::string unused;
    if (!makeFolder(options.psqFolder, unused)) {
      return fail("cannot create the folder " + options.psqFolder);
    }
  }
  if (!options.resultsFile.empty() && !resultsWritable(options.resultsFile, error)) {
    return fail(error);
  }
  const unsigned cores = std::thread::hardware_concurrency();
  if (cores > 0 && static_cast<unsigned>(options.concurrency) > cores) {
    std::fprintf(stderr,
                 "velmaro-arena: --concurrency %d is more than the %u cores: the brains will "
                 "share cores and their reply times will not be fair\n",
                 options.concurrency, cores);
  }

  // Step 3. The rules of every game.
  plan.openings = std::move(openings);
  plan.commands = options.engines;
  plan.engineInfo = options.engineInfo;
  plan.psqFolder = options.psqFolder;
  plan.sgfFile = options.sgfFile;
  plan.messagesFile = options.messagesFile;
  plan.sprt.enabled = options.sprt;
  plan.sprt.test = options.sprtTest;
  MatchRules& rules = plan.rules;
  rules.size = options.size;
  rules.turnMs = options.turnMs;
  rules.matchMs = options.matchMs;
  rules.clockMs = options.clockMs;
  rules.incrementMs = options.incrementMs;
  rules.toleranceMs = options.toleranceMs;
  rules.maxMemory = options.maxMemory;
  rules.show = options.show;
  // A clock without --turn limits a move by the clock alone; the brains are
  // told the base time as their turn time.
  if (options.clockMs > 0 && !options.turnGiven) {
    rules.turnLimited = false;
    rules.turnMs = options.clockMs;
  }

  // Step 4. Play the games and report.
  Console console(isatty(STDOUT_FILENO) != 0 && !options.show);
  if (!options.shard.whole()) {
    console.line("Shard " + std::to_string(options.shard.index) + "/" +
                 std::to_string(options.shard.count) + ": " + std::to_string(plan.games.size()) +
                 " of the match's " + std::to_string(totalGames) + " games");
  }
  MatchOutcome outcome = playMatch(plan, console);
  if (outcome.end == MatchEnd::kStartFailed) return fail(outcome.startFailure);
  for (const std::string& line :
       summaryLines(outcome.names, outcome.tally, !plan.openings.empty(), outcome.sprt)) {
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
  if (!options.resultsFile.empty() &&
      !writeResults(options.resultsFile, playedSlice(options, plan, outcome, openingsHash),
                    error)) {
    return fail(error);
  }
  return outcome.end == MatchEnd::kInterrupted ? kInterruptedExitCode : 0;
}
