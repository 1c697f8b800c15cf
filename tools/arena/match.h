// The match: its games shared out over `concurrency` slots, each slot a
// thread with its own pair of brain processes and data folders, and the
// results taken in game order by the calling thread, which alone counts
// them, writes the records, prints the result and status lines and runs the
// SPRT. Game i (0-based) plays opening i / 2 with engine i % 2 as black, so
// a game's record does not depend on the slot that played it, nor on the
// shard: a shard plays a subset of the games (`games`) under their numbers.
//
// Fresh games (`fresh`): the slot's data folders are emptied before its
// brains first start, and before every later game the brains get END and
// the folders are emptied again, so that each game starts new processes in
// empty folders. A brain that learns from its games (velmaro's game memory)
// then plays every game as its first, whichever slot, shard or machine
// plays it; the last game's files stay for a look.
//
// Before the first game every slot starts its brains, and the games begin
// once all have: a brain that cannot start at all stops the match there
// (kStartFailed), before any game is played.
//
// Stops: after the last game; when the SPRT decides (games started after
// the deciding one are broken off and not counted); at the first Ctrl-C (no
// new game starts, the running ones finish and count); at the second Ctrl-C
// or a SIGTERM (the running games are broken off and not counted, nor any
// later game that happened to finish). With one slot, a game starts only
// after the previous one is counted, so the SPRT never breaks off a game
// there.
#pragma once

#include <string>
#include <vector>

#include "console.h"
#include "display.h"
#include "openings.h"
#include "options.h"
#include "referee.h"
#include "results.h"
#include "statistics.h"

namespace arena {

struct MatchPlan {
  int totalGames = 0;      // of the whole match
  std::vector<int> games;  // the 0-based games to play, ascending: all, or a shard's
  int concurrency = 1;
  bool fresh = false;                 // new brains in emptied folders for every game
  std::vector<Opening> openings;      // empty: every game from the empty board
  std::vector<std::string> commands;  // the two engines' command lines
  // engineInfo[e]: engine e's own INFO lines (without "INFO "), after every START.
  std::vector<std::vector<std::string>> engineInfo;
  // folders[slot][engine]: absolute data folders, one pair per slot.
  std::vector<std::vector<std::string>> folders;
  MatchRules rules;
  std::string psqFolder;     // empty: no .psq records
  std::string sgfFile;       // empty: no SGF
  std::string messagesFile;  // empty: the MESSAGE lines go to the SGF only
  SprtStatus sprt;           // `enabled` with --sprt
};

enum class MatchEnd { kAllPlayed, kSprt, kInterrupted, kStartFailed };

struct MatchOutcome {
  MatchTally tally;
  std::vector<GameResult> results;  // the counted games, in game order
  bool complete = false;            // every game of `games` was counted
  std::string names[2];
  SprtStatus sprt;
  MatchEnd end = MatchEnd::kAllPlayed;
  std::string startFailure;  // kStartFailed: which brain, and why
};

// The slots the plan needs: one per game at once, and one even for a shard
// without games, whose brains still start and give their names.
int slotCount(const MatchPlan& plan);

MatchOutcome playMatch(const MatchPlan& plan, Console& console);

}  // namespace arena
