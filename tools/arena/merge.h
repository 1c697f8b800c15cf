// `velmaro-arena merge FILE...`: adds up the results files of a match's
// slices and prints the summary the whole match prints (wins, losses,
// draws, score, Elo with its margin, pentanomial counts, LOS, and with
// --sprt the LLR of all the merged games and its verdict), after a line
// that says which shards and how many of the match's games it holds.
//
// Slices of different matches (any field of "match" differs), two files of
// one shard, slices cut into different numbers of shards, and files that
// are not results files or whose counts are not those of their games are
// refused with a message naming the file, and exit code 2. Missing shards
// and unfinished slices are allowed (a match under way can be looked at);
// the first line says what is there. --results FILE writes the merged
// match as one results file (shard 1/1), which needs every shard: for a
// match whose brains play reproducibly it equals the file of the whole
// match played at once, byte for byte.
#pragma once

#include "options.h"

namespace arena {

// The exit code: 0, or 2 with the reason on standard error.
int mergeResults(const MergeOptions& options);

}  // namespace arena
