#include "serve_analysis.h"

#include <strings.h>

#include <charconv>
#include <sstream>

namespace arena {

namespace {

bool number(const std::string& word, long long& value) {
  const char* end = word.data() + word.size();
  auto [at, error] = std::from_chars(word.data(), end, value);
  return error == std::errc() && at == end && value >= 0;
}

// "x,y" on the board.
bool square(const std::string& word, int size, std::pair<int, int>& xy) {
  const std::size_t comma = word.find(',');
  long long x = 0, y = 0;
  if (comma == std::string::npos || !number(word.substr(0, comma), x) ||
      !number(word.substr(comma + 1), y)) {
    return false;
  }
  if (x >= size || y >= size) return false;
  xy = {static_cast<int>(x), static_cast<int>(y)};
  return true;
}

// The next word is `expected`, then a number.
bool field(std::istringstream& in, const char* expected, long long& value) {
  std::string name, text;
  return in >> name >> text && name == expected && number(text, value);
}

bool readDepthLine(std::istringstream& in, int size, SearchReport& report) {
  SearchReport r = report;
  long long depth = 0;
  std::string word;
  if (!(in >> word) || !number(word, depth) || depth <= 0 || !(in >> word) || word != "score" ||
      !(in >> word)) {
    return false;
  }
  r.depth = static_cast<int>(depth);
  r.proof = Proof::kNone;
  r.plies = 0;
  r.score = 0;
  if (word == "win" || word == "loss") {
    std::string in_, plies;
    long long n = 0;
    if (!(in >> in_ >> plies) || in_ != "in" || !number(plies, n)) return false;
    r.proof = word == "win" ? Proof::kWin : Proof::kLoss;
    r.plies = static_cast<int>(n);
  } else {
    // A score may be below zero.
    const bool negative = word.starts_with('-');
    long long value = 0;
    if (!number(negative ? word.substr(1) : word, value)) return false;
    r.score = negative ? -value : value;
  }
  if (!field(in, "nodes", r.nodes) || !field(in, "nps", r.nps) || !field(in, "time", r.timeMs) ||
      !(in >> word) || word != "pv") {
    return false;
  }
  r.pv.clear();
  std::pair<int, int> xy;
  while (in >> word && square(word, size, xy)) r.pv.push_back(xy);
  // A new iteration: the choice, if any, was that of an earlier search.
  r.chosen = false;
  r.by.clear();
  report = std::move(r);
  return true;
}

bool readBestLine(std::istringstream& in, int size, SearchReport& report) {
  std::string word, by;
  std::pair<int, int> xy;
  if (!(in >> word) || !square(word, size, xy) || !(in >> word) || word != "by") return false;
  in >> std::ws;
  std::getline(in, by);
  while (!by.empty() && (by.back() == '\r' || by.back() == ' ')) by.pop_back();
  if (by.empty()) return false;
  report.chosen = true;
  report.bestX = xy.first;
  report.bestY = xy.second;
  report.by = by;
  return true;
}

}  // namespace

bool readSearchLine(const std::string& line, int size, SearchReport& report) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word) || strcasecmp(word.c_str(), "MESSAGE") != 0 || !(in >> word)) return false;
  if (word == "depth") return readDepthLine(in, size, report);
  if (word == "best") return readBestLine(in, size, report);
  return false;
}

}  // namespace arena
