// Console: the arena's standard output. Lines (game results, notices, the
// summary) are printed as they come; the status line of the match so far is
// redrawn in place with '\r' on a terminal and printed as a plain line
// otherwise, so that logs and tests see every status. Only the match's main
// thread writes through it.
#pragma once

#include <string>

namespace arena {

class Console {
 public:
  // inPlace: redraw the status line (a terminal, and no --show output).
  explicit Console(bool inPlace) : inPlace(inPlace) {}

  void line(const std::string& text);
  void status(const std::string& text);
  // Leaves the last status on screen and moves below it.
  void close();

 private:
  bool inPlace;
  bool statusShown = false;  // a status line is on screen, without its line end
};

}  // namespace arena
