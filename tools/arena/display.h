// What the arena prints: the board after a move (--show), one progress line
// per game and the summary of the match. Pure formatting; nothing here
// writes to the terminal itself.
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

// The closing lines: the engines' names, wins/losses/draws of engine 1, its
// score and the Elo difference with its 95% margin.
std::vector<std::string> summaryLines(const std::string names[2], const MatchTally& tally);

}  // namespace arena
