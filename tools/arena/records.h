// Game records in the two file formats that Gomoku tools read.
//
// .psq (one file per game, lines end with LF):
//   Piskvorky WxH, 11:11, S        S = 0 when engine 1 played black, else 1
//   x,y,ms                         one line per stone, 1-based, in order
//   name of engine 1
//   name of engine 2
//   E                              the end code (EndReason)
//
// SGF (appended, one game per line but for the line breaks of comments):
//   (;GM[4]FF[4]SZ[n]PB[black]PW[white]RE[B+1|W+1|0];B[xy]C[...];W[xy]...)
// with coordinate letters a = 0. The engines' MESSAGE lines are the
// comments: each on the node of the stone it came before (so a brain's
// thoughts about a move sit on that move), one line each, without the word
// MESSAGE. A line before a stone that was never placed (the reply lost the
// game) goes on the last node, or the root when there is no stone. A line of
// the engine that did not play the node's stone (an opening stone, or the
// other engine's lines read while the game was set up, or that last node)
// begins with "engine N: ".
//
// Messages (appended, one line per MESSAGE line, games in match order):
//   game G engine E move M TEXT
// G the game's number, E the engine (1 or 2), M the number of the stone the
// line came before (GameRecord's EngineMessage::move) and TEXT the line
// without the word MESSAGE. DEBUG and SUGGEST lines are in neither.
#pragma once

#include <string>

#include "game_record.h"

namespace arena {

std::string psqText(const GameRecord& game);
std::string sgfText(const GameRecord& game);
std::string messagesText(const GameRecord& game);

// The text of a MESSAGE line without the word and the blanks after it;
// false for other lines.
bool messageBody(const std::string& line, std::string& body);

// The file name of a game's .psq record inside the --psq folder.
std::string psqFileName(int gameNumber);

// Both return false and describe the problem in `error` when the file
// can't be written.
bool writePsq(const std::string& folder, const GameRecord& game, std::string& error);
bool appendSgf(const std::string& path, const GameRecord& game, std::string& error);
bool appendMessages(const std::string& path, const GameRecord& game, std::string& error);

}  // namespace arena
