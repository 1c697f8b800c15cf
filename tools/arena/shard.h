// Shards: a match cut into N slices that can be played apart (on several
// machines, or as the tasks of a batch system) and added up afterwards by
// `velmaro-arena merge`. Shard K/N (1 <= K <= N) plays the game pairs whose
// index p (0-based: games 2p+1 and 2p+2, which play the match's p-th
// opening with the colours swapped) satisfies p mod N = K - 1, with the
// numbers, colours and openings that the whole match gives them. Without
// openings the pairs are games 1-2, 3-4, ... all the same, and a shard plays
// every N-th of them. Whole pairs keep each opening's bias cancelling inside
// its slice, and the pentanomial counts of the slices add up.
#pragma once

#include <string>
#include <vector>

namespace arena {

// More slices than this is a typing error, not a cluster.
constexpr int kMaxShards = 100000;

struct Shard {
  int index = 1;  // K, 1-based
  int count = 1;  // N; 1: the whole match

  bool whole() const { return count == 1; }
};

// "K/N" with 1 <= K <= N <= kMaxShards; false otherwise.
bool parseShard(const std::string& text, Shard& shard);

// The 0-based pair of a 0-based game.
inline int pairOfGame(int game) {
  return game / 2;
}

// The match's games (0-based, ascending) that the shard plays, out of
// `totalGames`.
std::vector<int> shardGames(int totalGames, const Shard& shard);

// True when the 0-based game belongs to the shard.
bool inShard(int game, const Shard& shard);

}  // namespace arena
