// Results files (--results FILE): one slice of a match, a shard or the whole
// match, as a small JSON object that `velmaro-arena merge` adds up with the
// other slices. Written by nlohmann-json with the fields in this order, two
// blanks of indent:
//
//   {
//     "format": "velmaro-arena results", "version": 1,
//     "match": {                      the identity: equal in every slice
//       "engines": [{"command": "...", "info": ["max_node 20000"], "name": "velmaro"}, {...}],
//       "size": 15, "games": 48,      board side; games of the whole match
//       "turn_ms": 1000, "turn_limited": true, "match_ms": 0,
//       "clock_ms": 0, "increment_ms": 0, "tolerance_ms": 1000, "max_memory": 0,
//       "openings": {"file": "openings15.txt", "fnv1a64": "<16 hex digits>", "count": 24},
//                                     or null without openings
//       "fresh": true                 new brains in emptied folders every game
//     },
//     "shard": {"index": 2, "count": 3},   1/1 for a whole match
//     "complete": true,               every game of the slice was played
//     "counts": {"games": 16, "wins": 7, "losses": 6, "draws": 3,
//                "pentanomial": [1, 1, 3, 2, 1]},   engine 1's, as the summary
//     "games": [                      in game order
//       {"game": 3, "opening": 1, "black": 1, "winner": 2, "end": 0,
//        "reason": "five in a row", "moves": "7,7 8,7 7,9 ..."}, ...
//     ]
//   }
//
// "game" is the game's number in the whole match (1-based), "opening" the
// 0-based index of its opening in the file (null without openings),
// "black" the engine (1 or 2) with the first stone, "winner" the winning
// engine or 0 for a draw, "end" the .psq end code, "reason" the result line's
// reason, "moves" every stone as x,y (0-based, opening stones included).
// Reply times are left out: they differ from run to run, and without them
// the merge of a match's slices equals the whole match's file byte for byte
// when the brains play reproducibly (node limits, --fresh).
#pragma once

#include <string>
#include <vector>

#include "game_record.h"
#include "shard.h"
#include "statistics.h"

namespace arena {

struct EngineIdentity {
  std::string command;
  std::vector<std::string> info;  // its --engine-info lines
  std::string name;               // from ABOUT
};

// What makes two slices parts of one match.
struct MatchIdentity {
  EngineIdentity engines[2];
  int size = 0;
  int games = 0;  // of the whole match
  int turnMs = 0;
  bool turnLimited = true;
  int matchMs = 0;
  int clockMs = 0;
  int incrementMs = 0;
  int toleranceMs = 0;
  long long maxMemory = 0;
  bool openings = false;  // the fields below are set only with openings
  std::string openingsFile;
  std::string openingsHash;  // FNV-1a 64 of the file's bytes, 16 hex digits
  int openingsCount = 0;
  bool fresh = false;
};

struct GameResult {
  int game = 0;      // 1-based number in the whole match
  int opening = -1;  // 0-based index in the openings; -1: none
  int blackEngine = 0;
  int winner = kNoWinner;  // engine index, or kNoWinner for a draw
  int endCode = 0;
  std::string reason;
  std::string moves;  // "x,y x,y ..."
};

struct Slice {
  MatchIdentity match;
  Shard shard;
  bool complete = true;
  std::vector<GameResult> games;  // ascending game numbers
};

// A finished game as the results keep it.
GameResult gameResult(const GameRecord& record, int opening);

// Engine 1's half-points in a game: 2 for a win, 1 for a draw, 0 for a loss.
int halfPointsOfEngine1(int winner);

// Wins, losses, draws and the pentanomial counts of games in ascending
// order; a pair counts when both its games are there.
MatchTally tallyOf(const std::vector<GameResult>& games);

// "fnv1a64" of a file's bytes as 16 hex digits; false when it cannot be read.
bool hashFile(const std::string& path, std::string& hash);

std::string resultsText(const Slice& slice);
// False with a message in `error` when the text is not a results file, or
// its counts are not those of its games, or a game does not belong to its
// shard.
bool parseResults(const std::string& text, Slice& slice, std::string& error);

// Written to a temporary name beside `path` and renamed over it: a reader
// finds the old file or the new one, never a part.
bool writeResults(const std::string& path, const Slice& slice, std::string& error);
// Whether writeResults can write there: checked before a match, so that a
// mistyped folder is found before the games rather than after them.
bool resultsWritable(const std::string& path, std::string& error);
bool readResults(const std::string& path, Slice& slice, std::string& error);

}  // namespace arena
