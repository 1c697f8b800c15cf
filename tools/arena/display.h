// What the arena prints: the board after a move (--show), one result line
// per game, the status line of the match so far and the summary of the
// match. Pure formatting; nothing here writes to the terminal itself.
#pragma once

#include <string>
#include <vector>

#include "game_board.h"
#include "game_record.h"
#include "statistics.h"

namespace arena {

// The board in plain text: 'X' black, 'O' white, '.' empty, the last stone
// in brackets, column numbers on top and row numbers on the left (0-based,
// as the protocol counts).
std::string boardText(const GameBoard& board, int lastX, int lastY);

// "Game i of N: engine 1 (black) wins, five in a row; 37 moves; slowest
// reply 985 ms (engine 1), 990 ms (engine 2)".
std::string progressLine(const GameRecord& game, int totalGames);

// Where the SPRT stands; `enabled` false without --sprt.
struct SprtStatus {
  bool enabled = false;
  SprtTest test;
  double llr = 0;  // 0 until the first pair (or game) is counted
  SprtVerdict verdict = SprtVerdict::kContinue;
};

// "H1 accepted", "H0 accepted" or "no decision".
const char* verdictText(SprtVerdict verdict);

// "+88.7 +/- 190.2 (95%)", "+inf", "-inf", "+0.0 +/- inf (95%)" or
// "none (no games)".
std::string eloText(const MatchTally& tally);

// "Progress: 12 of 40 games; score 7.5 (62.5%); Elo +88.7 +/- 190.2 (95%)",
// with --sprt "Progress: 12 of 1000 games, SPRT running; ...; LLR 0.52
// (-2.94, 2.94)".
std::string statusLine(const MatchTally& tally, int totalGames, const SprtStatus& sprt);

// The closing lines: the engines' names, wins/losses/draws of engine 1, its
// score and the Elo difference with its 95% margin, the counts of game
// pairs, the LOS (from the pairs when `byPairs`, else from single games) and
// the SPRT's state.
std::vector<std::string> summaryLines(const std::string names[2], const MatchTally& tally,
                                      bool byPairs, const SprtStatus& sprt);

}  // namespace arena
