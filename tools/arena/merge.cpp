#include "merge.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "display.h"
#include "results.h"

namespace arena {

namespace {

constexpr int kRefused = 2;

int refuse(const std::string& message) {
  std::fprintf(stderr, "velmaro-arena: merge: %s\n", message.c_str());
  return kRefused;
}

// The first field of the identities in which two slices differ, or empty.
std::string firstDifference(const MatchIdentity& a, const MatchIdentity& b) {
  for (int e = 0; e < 2; ++e) {
    const std::string engine = " of engine " + std::to_string(e + 1);
    if (a.engines[e].command != b.engines[e].command) return "command" + engine;
    if (a.engines[e].info != b.engines[e].info) return "--engine-info lines" + engine;
    if (a.engines[e].name != b.engines[e].name) return "name" + engine;
  }
  const std::pair<const char*, bool> fields[] = {
      {"board size", a.size == b.size},
      {"number of games", a.games == b.games},
      {"turn time", a.turnMs == b.turnMs && a.turnLimited == b.turnLimited},
      {"match time", a.matchMs == b.matchMs},
      {"clock", a.clockMs == b.clockMs && a.incrementMs == b.incrementMs},
      {"tolerance", a.toleranceMs == b.toleranceMs},
      {"memory", a.maxMemory == b.maxMemory},
      {"openings", a.openings == b.openings && a.openingsFile == b.openingsFile &&
                       a.openingsHash == b.openingsHash && a.openingsCount == b.openingsCount},
      {"--fresh setting", a.fresh == b.fresh},
  };
  for (const auto& [name, same] : fields) {
    if (!same) return name;
  }
  return "";
}

std::string shardText(const Shard& shard) {
  return std::to_string(shard.index) + "/" + std::to_string(shard.count);
}

}  // namespace

int mergeResults(const MergeOptions& options) {
  // Step 1. Read every slice; each must be a results file whose counts are
  // those of its games.
  std::vector<Slice> slices(options.files.size());
  std::string error;
  for (std::size_t i = 0; i < options.files.size(); ++i) {
    if (!readResults(options.files[i], slices[i], error)) return refuse(error);
  }

  // Step 2. One match, cut one way, each shard once.
  const Slice& first = slices[0];
  const std::string& firstFile = options.files[0];
  std::map<int, std::size_t> byShard;  // shard index -> file
  for (std::size_t i = 0; i < slices.size(); ++i) {
    const Slice& slice = slices[i];
    const std::string difference = firstDifference(first.match, slice.match);
    if (!difference.empty()) {
      return refuse(options.files[i] + " is a slice of another match than " + firstFile +
                    ": they differ in the " + difference);
    }
    if (slice.shard.count != first.shard.count) {
      return refuse(options.files[i] + " is shard " + shardText(slice.shard) + " and " + firstFile +
                    " shard " + shardText(first.shard) +
                    ": the match was cut into different numbers of shards");
    }
    const auto [seen, added] = byShard.emplace(slice.shard.index, i);
    if (!added) {
      return refuse(options.files[seen->second] + " and " + options.files[i] + " are both shard " +
                    shardText(slice.shard));
    }
  }

  const int missing = first.shard.count - static_cast<int>(byShard.size());
  if (!options.resultsFile.empty() && missing > 0) {
    return refuse("--results needs every shard of the match, and " + std::to_string(missing) +
                  " of " + std::to_string(first.shard.count) + " are missing");
  }

  // Step 3. The games of all slices in match order, counted as the match
  // counts them.
  Slice merged;
  merged.match = first.match;
  merged.complete = true;
  for (const Slice& slice : slices) {
    merged.games.insert(merged.games.end(), slice.games.begin(), slice.games.end());
    merged.complete = merged.complete && slice.complete;
  }
  std::sort(merged.games.begin(), merged.games.end(),
            [](const GameResult& a, const GameResult& b) { return a.game < b.game; });
  const MatchTally tally = tallyOf(merged.games);
  std::string shards;
  for (const auto& [index, file] : byShard) {
    shards += (shards.empty() ? "" : ", ") + std::to_string(index);
  }
  std::printf("Merged %zu results file%s: shard%s %s of %d%s; %d of the match's %d games\n",
              slices.size(), slices.size() == 1 ? "" : "s", byShard.size() == 1 ? "" : "s",
              shards.c_str(), first.shard.count, merged.complete ? "" : " (not all finished)",
              tally.games(), first.match.games);

  // Step 4. The summary of a match, and the SPRT on all the merged games.
  SprtStatus sprt;
  sprt.enabled = options.sprt;
  sprt.test = options.sprtTest;
  const bool byPairs = first.match.openings;
  if (sprt.enabled) {
    const OutcomeCounts counts = byPairs ? pairCounts(tally) : singleGameCounts(tally);
    if (counts.total() > 0) {
      sprt.llr = sprtLlr(counts, sprt.test.elo0, sprt.test.elo1);
      sprt.verdict = sprtVerdict(sprt.test, sprt.llr);
    }
  }
  const std::string names[2] = {first.match.engines[0].name, first.match.engines[1].name};
  for (const std::string& line : summaryLines(names, tally, byPairs, sprt)) {
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);

  // Step 5. The merged match as one results file.
  if (options.resultsFile.empty()) return 0;
  if (!writeResults(options.resultsFile, merged, error)) return refuse(error);
  return 0;
}

}  // namespace arena
