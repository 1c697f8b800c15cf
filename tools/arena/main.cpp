// velmaro-arena: plays a match between two Gomoku brains over the manager
// protocol and reports the result. See README.md beside this file.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "display.h"
#include "engine_session.h"
#include "openings.h"
#include "options.h"
#include "records.h"
#include "referee.h"
#include "serve.h"
#include "statistics.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
  using namespace arena;

  // Step 1. Read the command line and the openings.
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
  if (!options.openingsFile.empty()) {
    if (!loadOpenings(options.openingsFile, openings, error)) return fail(error);
    for (const Opening& o : openings) {
      if (!checkOpening(o, options.size, error)) return fail(error);
    }
  }
  int totalGames = options.games;
  if (totalGames == 0) {
    totalGames =
        openings.empty() ? kDefaultGamesWithoutOpenings : 2 * static_cast<int>(openings.size());
  }

  // Step 2. Prepare the folders: one data folder per engine, so that two
  // copies of one brain keep separate files.
  const std::string base = options.dataFolder.empty() ? "." : options.dataFolder;
  std::string engineFolders[2];
  for (int e = 0; e < static_cast<int>(options.engines.size()); ++e) {
    const std::string path = base + "/arena-engine" + std::to_string(e + 1);
    if (!makeFolder(path, engineFolders[e])) return fail("cannot create the folder " + path);
  }
  if (!options.psqFolder.empty()) {
    std::string unused;
    if (!makeFolder(options.psqFolder, unused)) {
      return fail("cannot create the folder " + options.psqFolder);
    }
  }

  if (options.servePort >= 0) return serveBoardPage(options, engineFolders);

  // Step 3. Start both engines once for the match.
  std::unique_ptr<EngineSession> sessions[2];
  for (int e = 0; e < 2; ++e) {
    sessions[e] =
        std::make_unique<EngineSession>(e, options.engines[e], engineFolders[e], options.show);
    sessions[e]->ensureRunning();
  }
  EngineSession* engines[2] = {sessions[0].get(), sessions[1].get()};
  MatchRules rules;
  rules.size = options.size;
  rules.turnMs = options.turnMs;
  rules.matchMs = options.matchMs;
  rules.toleranceMs = options.toleranceMs;
  rules.maxMemory = options.maxMemory;
  rules.show = options.show;

  // Step 4. Play the games: each opening twice, engine 1 black first.
  MatchTally tally;
  for (int i = 0; i < totalGames; ++i) {
    const int blackEngine = i % 2;
    const Opening* opening =
        openings.empty() ? nullptr : &openings[static_cast<std::size_t>(i / 2) % openings.size()];
    if (options.show) std::printf("\nGame %d of %d\n", i + 1, totalGames);
    GameRecord game = playGame(engines, i + 1, blackEngine, opening, rules);
    if (game.winner == 0) {
      ++tally.wins;
    } else if (game.winner == 1) {
      ++tally.losses;
    } else {
      ++tally.draws;
    }
    if (!options.psqFolder.empty() && !writePsq(options.psqFolder, game, error)) {
      std::fprintf(stderr, "velmaro-arena: %s\n", error.c_str());
    }
    if (!options.sgfFile.empty() && !appendSgf(options.sgfFile, game, error)) {
      std::fprintf(stderr, "velmaro-arena: %s\n", error.c_str());
    }
    std::printf("%s\n", progressLine(game, totalGames).c_str());
    std::fflush(stdout);
  }

  // Step 5. End the engines and report.
  for (EngineSession* session : engines) session->finish();
  const std::string names[2] = {engines[0]->name, engines[1]->name};
  for (const std::string& line : summaryLines(names, tally)) std::printf("%s\n", line.c_str());
  return 0;
}
