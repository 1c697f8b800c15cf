// Game records in the two file formats that Gomoku tools read.
//
// .psq (one file per game, lines end with LF):
//   Piskvorky WxH, 11:11, S        S = 0 when engine 1 played black, else 1
//   x,y,ms                         one line per stone, 1-based, in order
//   name of engine 1
//   name of engine 2
//   E                              the end code (EndReason)
//
// SGF (appended, one game per line):
//   (;GM[4]FF[4]SZ[n]PB[black]PW[white]RE[B+1|W+1|0];B[xy];W[xy]...)
// with coordinate letters a = 0.
#pragma once

#include <string>

#include "game_record.h"

namespace arena {

std::string psqText(const GameRecord& game);
std::string sgfText(const GameRecord& game);

// The file name of a game's .psq record inside the --psq folder.
std::string psqFileName(int gameNumber);

// Both return false and describe the problem in `error` when the file
// can't be written.
bool writePsq(const std::string& folder, const GameRecord& game, std::string& error);
bool appendSgf(const std::string& path, const GameRecord& game, std::string& error);

}  // namespace arena
