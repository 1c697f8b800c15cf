#include "shard.h"

#include <charconv>

namespace arena {

bool parseShard(const std::string& text, Shard& shard) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return false;
  auto number = [](const char* begin, const char* end, int& value) {
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && begin != end;
  };
  Shard parsed;
  if (!number(text.data(), text.data() + slash, parsed.index) ||
      !number(text.data() + slash + 1, text.data() + text.size(), parsed.count)) {
    return false;
  }
  if (parsed.count < 1 || parsed.count > kMaxShards || parsed.index < 1 ||
      parsed.index > parsed.count) {
    return false;
  }
  shard = parsed;
  return true;
}

bool inShard(int game, const Shard& shard) {
  return pairOfGame(game) % shard.count == shard.index - 1;
}

std::vector<int> shardGames(int totalGames, const Shard& shard) {
  std::vector<int> games;
  for (int game = 0; game < totalGames; ++game) {
    if (inShard(game, shard)) games.push_back(game);
  }
  return games;
}

}  // namespace arena
