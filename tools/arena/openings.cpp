#include "openings.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <utility>

#include "game_board.h"

namespace arena {

bool parseOpeningLine(const std::string& text, Opening& opening) {
  std::vector<int> numbers;
  std::size_t i = 0;
  bool expectNumber = true;
  for (;;) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i == text.size()) break;
    if (expectNumber) {
      std::size_t start = i;
      if (text[i] == '-' || text[i] == '+') ++i;
      std::size_t digits = i;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      if (i == digits || i - digits > 4) return false;
      numbers.push_back(std::atoi(text.substr(start, i - start).c_str()));
      expectNumber = false;
    } else {
      if (text[i] != ',') return false;
      ++i;
      expectNumber = true;
    }
  }
  if (numbers.empty() || expectNumber || numbers.size() % 2 != 0) return false;
  opening.stones.clear();
  for (std::size_t k = 0; k < numbers.size(); k += 2) {
    opening.stones.push_back({numbers[k], numbers[k + 1]});
  }
  return true;
}

bool loadOpenings(const std::string& path, std::vector<Opening>& openings, std::string& error) {
  std::ifstream file(path);
  if (!file) {
    error = "cannot read the openings file " + path;
    return false;
  }
  openings.clear();
  std::string text;
  int lineNumber = 0;
  while (std::getline(file, text)) {
    ++lineNumber;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text[first] == '#') continue;
    Opening opening;
    opening.line = lineNumber;
    if (!parseOpeningLine(text, opening)) {
      error = path + ":" + std::to_string(lineNumber) + ": expected dx,dy, dx,dy, ...";
      return false;
    }
    openings.push_back(opening);
  }
  if (openings.empty()) {
    error = "no openings in " + path;
    return false;
  }
  return true;
}

bool checkOpening(const Opening& opening, int size, std::string& error) {
  const int centre = size / 2;
  std::set<std::pair<int, int>> seen;
  for (const Offset& o : opening.stones) {
    const int x = centre + o.dx;
    const int y = centre + o.dy;
    if (x < 0 || y < 0 || x >= size || y >= size) {
      error = "opening on line " + std::to_string(opening.line) + " leaves the " +
              std::to_string(size) + "x" + std::to_string(size) + " board";
      return false;
    }
    if (!seen.insert({x, y}).second) {
      error = "opening on line " + std::to_string(opening.line) + " uses a square twice";
      return false;
    }
  }
  GameBoard board(size);
  for (std::size_t i = 0; i < opening.stones.size(); ++i) {
    const int x = centre + opening.stones[i].dx;
    const int y = centre + opening.stones[i].dy;
    board.place(x, y, i % 2 == 0 ? kBlack : kWhite);
    if (board.makesFive(x, y)) {
      error = "opening on line " + std::to_string(opening.line) + " already has five in a row";
      return false;
    }
  }
  if (opening.stones.size() >= static_cast<std::size_t>(size * size)) {
    error = "opening on line " + std::to_string(opening.line) + " fills the board";
    return false;
  }
  return true;
}

}  // namespace arena
