#include "records.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

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

// The comment of every node, the root first: the MESSAGE lines in the order
// they came.
std::vector<std::string> sgfComments(const GameRecord& game) {
  const std::size_t stones = game.moves.size();
  std::vector<std::string> comments(stones + 1);
  for (const EngineMessage& m : game.messages) {
    std::string body;
    if (!messageBody(m.text, body)) continue;
    const std::size_t node = std::min(static_cast<std::size_t>(m.move), stones);
    const bool own = node > 0 && static_cast<std::size_t>(m.move) == node &&
                     !game.moves[node - 1].opening && game.engineOfMove(node - 1) == m.engine;
    std::string& comment = comments[node];
    if (!comment.empty()) comment += '\n';
    if (!own) comment += "engine " + std::to_string(m.engine + 1) + ": ";
    comment += body;
  }
  return comments;
}

bool appendFile(const std::string& path, const std::string& text, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::app);
  file << text;
  file.close();
  if (!file) {
    error = "cannot append to " + path;
    return false;
  }
  return true;
}

}  // namespace

bool messageBody(const std::string& line, std::string& body) {
  constexpr const char* kWord = "MESSAGE";
  const std::size_t length = std::strlen(kWord);
  if (line.size() < length || strncasecmp(line.c_str(), kWord, length) != 0) return false;
  const std::size_t text = line.find_first_not_of(" \t", length);
  body = text == std::string::npos ? "" : line.substr(text);
  return true;
}

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
  const std::vector<std::string> comments = sgfComments(game);
  if (!comments[0].empty()) out += "C[" + sgfEscape(comments[0]) + "]";
  for (std::size_t i = 0; i < game.moves.size(); ++i) {
    out += i % 2 == 0 ? ";B[" : ";W[";
    out += sgfLetter(game.moves[i].x);
    out += sgfLetter(game.moves[i].y);
    out += "]";
    if (!comments[i + 1].empty()) out += "C[" + sgfEscape(comments[i + 1]) + "]";
  }
  out += ")\n";
  return out;
}

std::string messagesText(const GameRecord& game) {
  std::string out;
  for (const EngineMessage& m : game.messages) {
    std::string body;
    if (!messageBody(m.text, body)) continue;
    out += "game " + std::to_string(game.number) + " engine " + std::to_string(m.engine + 1) +
           " move " + std::to_string(m.move) + " " + body + "\n";
  }
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
  return appendFile(path, sgfText(game), error);
}

bool appendMessages(const std::string& path, const GameRecord& game, std::string& error) {
  return appendFile(path, messagesText(game), error);
}

}  // namespace arena
