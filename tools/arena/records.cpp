#include "records.h"

#include <cstdio>
#include <fstream>

namespace arena {

namespace {

// SGF property values escape ']' and '\' with a backslash.
std::string sgfEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ']' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

char sgfLetter(int coordinate) {
  return static_cast<char>('a' + coordinate);
}

}  // namespace

std::string psqText(const GameRecord& game) {
  std::string out = "Piskvorky " + std::to_string(game.size) + "x" + std::to_string(game.size) +
                    ", 11:11, " + std::to_string(game.blackEngine) + "\n";
  for (const RecordedMove& m : game.moves) {
    out +=
        std::to_string(m.x + 1) + "," + std::to_string(m.y + 1) + "," + std::to_string(m.ms) + "\n";
  }
  out += game.names[0] + "\n";
  out += game.names[1] + "\n";
  out += std::to_string(endCode(game.reason)) + "\n";
  return out;
}

std::string sgfText(const GameRecord& game) {
  const char* result = "0";
  if (game.winner != kNoWinner) result = game.winner == game.blackEngine ? "B+1" : "W+1";
  std::string out = "(;GM[4]FF[4]SZ[" + std::to_string(game.size) + "]PB[" +
                    sgfEscape(game.names[game.blackEngine]) + "]PW[" +
                    sgfEscape(game.names[1 - game.blackEngine]) + "]RE[" + result + "]";
  for (std::size_t i = 0; i < game.moves.size(); ++i) {
    out += i % 2 == 0 ? ";B[" : ";W[";
    out += sgfLetter(game.moves[i].x);
    out += sgfLetter(game.moves[i].y);
    out += "]";
  }
  out += ")\n";
  return out;
}

std::string psqFileName(int gameNumber) {
  char name[32];
  std::snprintf(name, sizeof name, "game%03d.psq", gameNumber);
  return name;
}

bool writePsq(const std::string& folder, const GameRecord& game, std::string& error) {
  const std::string path = folder + "/" + psqFileName(game.number);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << psqText(game);
  file.close();
  if (!file) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool appendSgf(const std::string& path, const GameRecord& game, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::app);
  file << sgfText(game);
  file.close();
  if (!file) {
    error = "cannot append to " + path;
    return false;
  }
  return true;
}

}  // namespace arena
