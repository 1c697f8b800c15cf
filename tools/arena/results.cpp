#include "results.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <system_error>

#include "options.h"

namespace arena {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "velmaro-arena results";
constexpr int kVersion = 1;
// FNV-1a, 64 bits: a fingerprint of the openings file, not a defence
// against anyone forging one.
constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;
constexpr int kHashDigits = 16;
constexpr int kLastEndCode = static_cast<int>(EndReason::kSetupFailed);

// A field that is missing or of the wrong kind ends the reading with this.
struct BadField : std::runtime_error {
  using std::runtime_error::runtime_error;
};

const Json& field(const Json& object, const char* name) {
  if (!object.is_object() || !object.contains(name)) {
    throw BadField(std::string("no field \"") + name + "\"");
  }
  return object.at(name);
}

long long integer(const Json& object, const char* name, long long low, long long high) {
  const Json& value = field(object, name);
  if (!value.is_number_integer() || value.get<long long>() < low || value.get<long long>() > high) {
    throw BadField(std::string("\"") + name + "\" is not a whole number from " +
                   std::to_string(low) + " to " + std::to_string(high));
  }
  return value.get<long long>();
}

int smallInteger(const Json& object, const char* name, int low, int high) {
  return static_cast<int>(integer(object, name, low, high));
}

std::string text(const Json& object, const char* name) {
  const Json& value = field(object, name);
  if (!value.is_string()) throw BadField(std::string("\"") + name + "\" is not a string");
  return value.get<std::string>();
}

bool boolean(const Json& object, const char* name) {
  const Json& value = field(object, name);
  if (!value.is_boolean()) throw BadField(std::string("\"") + name + "\" is not true or false");
  return value.get<bool>();
}

const Json& array(const Json& object, const char* name) {
  const Json& value = field(object, name);
  if (!value.is_array()) throw BadField(std::string("\"") + name + "\" is not a list");
  return value;
}

// Compact JSON; text from the brains that is not UTF-8 gets U+FFFD.
std::string compact(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json identityJson(const MatchIdentity& m) {
  Json engines = Json::array();
  for (const EngineIdentity& e : m.engines) {
    engines.push_back({{"command", e.command}, {"info", e.info}, {"name", e.name}});
  }
  Json openings = nullptr;
  if (m.openings) {
    openings = {{"file", m.openingsFile}, {"fnv1a64", m.openingsHash}, {"count", m.openingsCount}};
  }
  return {{"engines", engines},
          {"size", m.size},
          {"games", m.games},
          {"turn_ms", m.turnMs},
          {"turn_limited", m.turnLimited},
          {"match_ms", m.matchMs},
          {"clock_ms", m.clockMs},
          {"increment_ms", m.incrementMs},
          {"tolerance_ms", m.toleranceMs},
          {"max_memory", m.maxMemory},
          {"openings", openings},
          {"fresh", m.fresh}};
}

MatchIdentity readIdentity(const Json& j) {
  MatchIdentity m;
  const Json& engines = array(j, "engines");
  if (engines.size() != 2) throw BadField("\"engines\" does not hold two engines");
  for (int e = 0; e < 2; ++e) {
    const Json& engine = engines[e];
    m.engines[e].command = text(engine, "command");
    m.engines[e].name = text(engine, "name");
    for (const Json& line : array(engine, "info")) {
      if (!line.is_string()) throw BadField("an \"info\" line is not a string");
      m.engines[e].info.push_back(line.get<std::string>());
    }
  }
  m.size = smallInteger(j, "size", kMinSize, kMaxSize);
  m.games = smallInteger(j, "games", 1, kMaxGames);
  m.turnMs = smallInteger(j, "turn_ms", 1, kUnlimitedMatchMs);
  m.turnLimited = boolean(j, "turn_limited");
  m.matchMs = smallInteger(j, "match_ms", 0, kUnlimitedMatchMs);
  m.clockMs = smallInteger(j, "clock_ms", 0, kUnlimitedMatchMs);
  m.incrementMs = smallInteger(j, "increment_ms", 0, kUnlimitedMatchMs);
  m.toleranceMs = smallInteger(j, "tolerance_ms", 0, kMaxToleranceMs);
  m.maxMemory = integer(j, "max_memory", 0, kMaxMemoryBytes);
  const Json& openings = field(j, "openings");
  if (!openings.is_null()) {
    m.openings = true;
    m.openingsFile = text(openings, "file");
    m.openingsHash = text(openings, "fnv1a64");
    m.openingsCount = smallInteger(openings, "count", 1, kMaxGames);
  }
  m.fresh = boolean(j, "fresh");
  return m;
}

Json countsJson(const MatchTally& t) {
  return {{"games", t.games()},
          {"wins", t.wins},
          {"losses", t.losses},
          {"draws", t.draws},
          {"pentanomial", t.pairs}};
}

Json gameJson(const GameResult& g) {
  return {{"game", g.game},
          {"opening", g.opening < 0 ? Json(nullptr) : Json(g.opening)},
          {"black", g.blackEngine + 1},
          {"winner", g.winner == kNoWinner ? 0 : g.winner + 1},
          {"end", g.endCode},
          {"reason", g.reason},
          {"moves", g.moves}};
}

// One game, checked against the match and the shard: its number, and the
// opening and colours that the match gives that number.
GameResult readGame(const Json& j, const MatchIdentity& match, const Shard& shard) {
  GameResult g;
  g.game = smallInteger(j, "game", 1, match.games);
  const int index = g.game - 1;
  if (!inShard(index, shard)) {
    throw BadField("game " + std::to_string(g.game) + " is not one of shard " +
                   std::to_string(shard.index) + "/" + std::to_string(shard.count));
  }
  const Json& opening = field(j, "opening");
  const int expected = match.openings ? pairOfGame(index) % match.openingsCount : -1;
  g.opening = opening.is_null() ? -1 : smallInteger(j, "opening", 0, kMaxGames);
  g.blackEngine = smallInteger(j, "black", 1, 2) - 1;
  if (g.opening != expected || g.blackEngine != index % 2) {
    throw BadField("game " + std::to_string(g.game) +
                   " has another opening or other colours than the match gives it");
  }
  const int winner = smallInteger(j, "winner", 0, 2);
  g.winner = winner == 0 ? kNoWinner : winner - 1;
  g.endCode = smallInteger(j, "end", 0, kLastEndCode);
  g.reason = text(j, "reason");
  g.moves = text(j, "moves");
  return g;
}

}  // namespace

GameResult gameResult(const GameRecord& record, int opening) {
  GameResult g;
  g.game = record.number;
  g.opening = opening;
  g.blackEngine = record.blackEngine;
  g.winner = record.winner;
  g.endCode = endCode(record.reason);
  g.reason = record.detail;
  for (const RecordedMove& m : record.moves) {
    if (!g.moves.empty()) g.moves += ' ';
    g.moves += std::to_string(m.x) + "," + std::to_string(m.y);
  }
  return g;
}

int halfPointsOfEngine1(int winner) {
  return winner == 0 ? 2 : winner == 1 ? 0 : 1;
}

MatchTally tallyOf(const std::vector<GameResult>& games) {
  MatchTally tally;
  for (std::size_t i = 0; i < games.size(); ++i) {
    const int points = halfPointsOfEngine1(games[i].winner);
    if (points == 2) {
      ++tally.wins;
    } else if (points == 1) {
      ++tally.draws;
    } else {
      ++tally.losses;
    }
    if (i > 0 && pairOfGame(games[i].game - 1) == pairOfGame(games[i - 1].game - 1)) {
      ++tally.pairs[halfPointsOfEngine1(games[i - 1].winner) + points];
    }
  }
  return tally;
}

bool hashFile(const std::string& path, std::string& hash) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::uint64_t h = kFnvOffset;
  for (std::istreambuf_iterator<char> it(file), end; it != end; ++it) {
    h = (h ^ static_cast<unsigned char>(*it)) * kFnvPrime;
  }
  if (file.bad()) return false;
  char digits[kHashDigits + 1];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(h));
  hash = digits;
  return true;
}

std::string resultsText(const Slice& slice) {
  // One field a line and one game a line: a file that diff and grep read.
  const Json shard = {{"index", slice.shard.index}, {"count", slice.shard.count}};
  std::string out = "{\n";
  out += "  \"format\": " + compact(kFormat) + ",\n";
  out += "  \"version\": " + compact(kVersion) + ",\n";
  out += "  \"match\": " + compact(identityJson(slice.match)) + ",\n";
  out += "  \"shard\": " + compact(shard) + ",\n";
  out += "  \"complete\": " + compact(slice.complete) + ",\n";
  out += "  \"counts\": " + compact(countsJson(tallyOf(slice.games))) + ",\n";
  out += "  \"games\": [";
  for (std::size_t i = 0; i < slice.games.size(); ++i) {
    out += (i == 0 ? "\n    " : ",\n    ") + compact(gameJson(slice.games[i]));
  }
  out += slice.games.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

bool parseResults(const std::string& input, Slice& slice, std::string& error) {
  const Json j = Json::parse(input, nullptr, false);
  if (j.is_discarded()) {
    error = "not JSON";
    return false;
  }
  try {
    if (!j.is_object() || !j.contains("format") || j.at("format") != kFormat) {
      throw BadField("not a velmaro-arena results file");
    }
    if (field(j, "version") != kVersion) throw BadField("a results file of another version");
    Slice s;
    s.match = readIdentity(field(j, "match"));
    const Json& shard = field(j, "shard");
    s.shard.count = smallInteger(shard, "count", 1, kMaxShards);
    s.shard.index = smallInteger(shard, "index", 1, s.shard.count);
    s.complete = boolean(j, "complete");
    for (const Json& game : array(j, "games")) {
      s.games.push_back(readGame(game, s.match, s.shard));
      if (s.games.size() > 1 && s.games.back().game <= s.games[s.games.size() - 2].game) {
        throw BadField("its games are not in ascending order, each once");
      }
    }
    if (s.complete && s.games.size() != shardGames(s.match.games, s.shard).size()) {
      throw BadField("it says it is complete, but games of its shard are missing");
    }
    if (field(j, "counts") != countsJson(tallyOf(s.games))) {
      throw BadField("its counts are not those of its games");
    }
    slice = std::move(s);
    return true;
  } catch (const BadField& e) {
    error = e.what();
  }
  return false;
}

bool writeResults(const std::string& path, const Slice& slice, std::string& error) {
  const std::string temporary = path + ".tmp";
  std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
  file << resultsText(slice);
  file.close();
  std::error_code ec;
  if (file) std::filesystem::rename(temporary, path, ec);
  if (!file || ec) {
    std::filesystem::remove(temporary, ec);
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool resultsWritable(const std::string& path, std::string& error) {
  const std::string temporary = path + ".tmp";
  const bool opened = std::ofstream(temporary, std::ios::binary | std::ios::app).is_open();
  std::error_code ec;
  std::filesystem::remove(temporary, ec);
  if (!opened) error = "cannot write " + path;
  return opened;
}

bool readResults(const std::string& path, Slice& slice, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + ": cannot be read";
    return false;
  }
  const std::string input{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) {
    error = path + ": cannot be read";
    return false;
  }
  if (!parseResults(input, slice, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace arena
