// Openings: the stones a game starts from, read from a text file with one
// opening per line, "dx,dy, dx,dy, ..." as offsets from the centre square
// (size / 2, integer division) in the order they are played, the first
// stone black. Blank lines and lines starting with '#' are skipped.
// The match plays every opening twice, once with each engine as black.
#pragma once

#include <string>
#include <vector>

namespace arena {

struct Offset {
  int dx = 0;
  int dy = 0;
};

struct Opening {
  int line = 0;  // line number in the file, for messages
  std::vector<Offset> stones;
};

// Parses one opening line; false when it is not an even list of integers.
bool parseOpeningLine(const std::string& text, Opening& opening);

// Reads a whole file. False with a message naming the bad line otherwise.
bool loadOpenings(const std::string& path, std::vector<Opening>& openings, std::string& error);

// Checks that the opening's stones lie on a board of this size, on distinct
// squares. False with a message otherwise.
bool checkOpening(const Opening& opening, int size, std::string& error);

}  // namespace arena
