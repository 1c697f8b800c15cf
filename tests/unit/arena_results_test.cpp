// The arena's shards and results files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "results.h"
#include "shard.h"

namespace {

using namespace arena;

TEST(ArenaShards, ParseTakesKOfNAndNothingElse) {
  for (const auto& [text, index, count] :
       {std::tuple{"1/1", 1, 1}, std::tuple{"2/3", 2, 3}, std::tuple{"3/3", 3, 3},
        std::tuple{"100000/100000", 100000, 100000}}) {
    Shard shard;
    EXPECT_TRUE(parseShard(text, shard) && shard.index == index && shard.count == count) << text;
  }
  for (const char* text : {"0/3", "4/3", "1/0", "-1/3", "1/100001", "a/b", "1/", "/3", "1/3/",
                           " 1/3", "1/3 ", "13", ""}) {
    Shard shard{.index = 7};
    EXPECT_TRUE(!parseShard(text, shard) && shard.index == 7) << text;  // untouched when refused
  }
}

// The shards of a match hold each of its games once, a pair always whole,
// and a pair p in shard p mod N + 1.
TEST(ArenaShards, ShardsCutTheMatchIntoWholePairs) {
  EXPECT_EQ(shardGames(12, {2, 3}), (std::vector<int>{2, 3, 8, 9}));
  for (int total : {0, 1, 2, 5, 12, 49})
    for (int count = 1; count <= 5; ++count) {
      std::vector<int> times(total);  // each game's
      for (int index = 1; index <= count; ++index)
        for (int game : shardGames(total, {index, count})) {
          times.at(game)++;
          EXPECT_EQ(pairOfGame(game) % count, index - 1);
          EXPECT_TRUE((game ^ 1) >= total || inShard(game ^ 1, {index, count})) << game;
        }
      EXPECT_EQ(times, std::vector<int>(total, 1)) << total << " games in " << count;
    }
}

GameResult result(int game, int winner, const std::string& moves = "0,0") {
  const bool draw = winner == kNoWinner;
  const int opening = ((game - 1) / 2) % 2, black = (game - 1) % 2;
  return {game, opening, black, winner, draw ? 1 : 0, draw ? "board full" : "five in a row", moves};
}

Slice sample() {
  const EngineIdentity ours{"build/pbrain-velmaro", {"max_node 2000", "show_detail 1"}, "velmaro"};
  return {.match = {.engines = {ours, {"'/opt/x y/pbrain-\"other\"'", {}, "oth\xFF"}},
                    .size = 9,
                    .games = 12,
                    .turnMs = 1000,
                    .toleranceMs = 500,
                    .maxMemory = 30000000,
                    .openings = true,
                    .openingsFile = "op.txt",
                    .openingsHash = "eb9ad7fdcaeacac3",
                    .openingsCount = 2,
                    .fresh = true},
          .shard = {2, 3},
          .complete = false,
          .games = {result(3, 0, "4,4 5,4"), result(4, kNoWinner), result(9, 1)}};
}

const char* const kSampleText =
    "{\n"
    "  \"format\": \"velmaro-arena results\",\n"
    "  \"version\": 1,\n"
    "  \"match\": {\"engines\":[{\"command\":\"build/pbrain-velmaro\",\"info\":[\"max_node "
    "2000\",\"show_detail 1\"],\"name\":\"velmaro\"},{\"command\":\"'/opt/x "
    "y/pbrain-\\\"other\\\"'\",\"info\":[],\"name\":\"oth\xEF\xBF\xBD\"}],\"size\":9,\"games\":12,"
    "\"turn_ms\":1000,\"turn_limited\":true,\"match_ms\":0,\"clock_ms\":0,\"increment_ms\":0,"
    "\"tolerance_ms\":500,\"max_memory\":30000000,\"openings\":{\"file\":\"op.txt\",\"fnv1a64\":"
    "\"eb9ad7fdcaeacac3\",\"count\":2},\"fresh\":true},\n"
    "  \"shard\": {\"index\":2,\"count\":3},\n"
    "  \"complete\": false,\n"
    "  \"counts\": {\"games\":3,\"wins\":1,\"losses\":1,\"draws\":1,\"pentanomial\":[0,0,0,1,0]},\n"
    "  \"games\": [\n"
    "    {\"game\":3,\"opening\":1,\"black\":1,\"winner\":1,\"end\":0,\"reason\":\"five in a "
    "row\",\"moves\":\"4,4 5,4\"},\n"
    "    {\"game\":4,\"opening\":1,\"black\":2,\"winner\":0,\"end\":1,\"reason\":\"board "
    "full\",\"moves\":\"0,0\"},\n"
    "    {\"game\":9,\"opening\":0,\"black\":1,\"winner\":2,\"end\":0,\"reason\":\"five in a "
    "row\",\"moves\":\"0,0\"}\n"
    "  ]\n"
    "}\n";

// The results file as a whole text (a fingerprint of the format), read back.
TEST(ArenaResults, TextIsTheDocumentedFormatAndReadsBack) {
  const std::string text = resultsText(sample());
  EXPECT_EQ(text, kSampleText);
  Slice read;
  std::string error;
  ASSERT_TRUE(parseResults(text, read, error)) << error;
  EXPECT_EQ(resultsText(read), text);
}

// A damaged or foreign file is refused with the reason, whatever it lacks.
TEST(ArenaResults, DamagedFilesAreRefusedWithTheReason) {
  const std::string good = kSampleText;
  auto changed = [&](const std::string& from, const std::string& to) {
    const std::size_t at = good.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return std::string(good).replace(at, from.size(), to);
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {good.substr(0, good.size() / 2), "not JSON"},
      {"[1,2]", "not a velmaro-arena results file"},
      {changed("velmaro-arena results", "other results"), "not a velmaro-arena results file"},
      {changed("\"version\": 1", "\"version\": 2"), "a results file of another version"},
      {changed("\"size\":9,", ""), "no field \"size\""},
      {changed("\"size\":9", "\"size\":30"), "\"size\" is not a whole number from 5 to 26"},
      {changed("\"size\":9", "\"size\":\"9\""), "\"size\" is not a whole number from 5 to 26"},
      {changed("\"fresh\":true", "\"fresh\":1"), "\"fresh\" is not true or false"},
      {changed("\"info\":[],", "\"info\":[3],"), "an \"info\" line is not a string"},
      {changed("\"index\":2", "\"index\":4"), "\"index\" is not a whole number from 1 to 3"},
      {changed("\"wins\":1", "\"wins\":2"), "its counts are not those of its games"},
      {changed("[0,0,0,1,0]", "[0,0,1,0,0]"), "its counts are not those of its games"},
      {changed("\"game\":9", "\"game\":5"), "game 5 is not one of shard 2/3"},
      {changed("\"game\":9", "\"game\":13"), "\"game\" is not a whole number from 1 to 12"},
      {changed("\"game\":9,\"opening\":0", "\"game\":9,\"opening\":1"),
       "game 9 has another opening or other colours than the match gives it"},
      {changed("\"game\":9,\"opening\":0,\"black\":1", "\"game\":9,\"opening\":0,\"black\":2"),
       "game 9 has another opening or other colours than the match gives it"},
      {changed("{\"game\":4,\"opening\":1,\"black\":2,\"winner\":0,\"end\":1",
               "{\"game\":3,\"opening\":1,\"black\":1,\"winner\":0,\"end\":1"),
       "its games are not in ascending order, each once"},
      {changed("\"winner\":2", "\"winner\":3"), "\"winner\" is not a whole number from 0 to 2"},
      {changed("\"complete\": false", "\"complete\": true"),
       "it says it is complete, but games of its shard are missing"},
  };
  for (const auto& [text, reason] : cases) {
    Slice slice;
    slice.shard.index = 99;
    std::string error;
    EXPECT_EQ(parseResults(text, slice, error) ? "accepted" : error, reason);
    EXPECT_EQ(slice.shard.index, 99) << reason;  // nothing taken from a refused file
  }
}

// Games count for engine 1 one by one; a pair counts once both its games
// are there, also when games of other pairs are missing between them.
TEST(ArenaResults, TallyCountsWholePairsOnly) {
  const MatchTally t =
      tallyOf({result(1, 0), result(2, 0), result(7, kNoWinner), result(13, 1), result(14, 0),
               result(15, kNoWinner), result(16, kNoWinner), result(20, 1)});
  // Wins, losses, draws; pairs, those of 4 half-points (games 1, 2) and of 2
  // (games 13, 14, a loss and a win, and 15, 16, two draws).
  EXPECT_EQ((std::vector<int>{t.wins, t.losses, t.draws, t.pairCount(), t.pairs[4], t.pairs[2]}),
            (std::vector<int>{3, 2, 3, 3, 1, 2}));
}

}  // namespace
