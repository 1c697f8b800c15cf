// LineSplitter: cuts the manager's byte stream into command lines.
//
// A line ends at a line feed; a carriage return just before it is dropped,
// and a NUL byte ends the line's text early. A line is kept whole up to
// kMaxLineLength characters. A longer one is never cut (a cut folder name
// would name another folder, and its tail must not become a command): its
// text is dropped and `tooLong` marks it, so the caller can refuse it as a
// whole. `stored` counts the bytes of the current line kept so far; only
// add() changes it. The command loop reads standard input through it, and
// the protocol fuzzing harness feeds it arbitrary bytes, so both see the
// same lines.
#pragma once

#include <cstring>

constexpr int kMaxLineLength = 4096;  // characters of one line, its ending excluded
// One line as kept: its characters, a carriage return and the terminator.
constexpr int kCommandCapacity = kMaxLineLength + 2;

class LineSplitter {
 public:
  int stored = 0;
  bool overflowed = false;  // the current line has more than it can keep
  bool tooLong = false;     // the line just completed was too long

  // Takes the next byte into cmd (kCommandCapacity bytes). True when the
  // byte ended a line: cmd then holds it, NUL-terminated (empty and
  // `tooLong` set when it was too long).
  bool add(char c, char* cmd) {
    if (c != '\n') {
      if (stored < kCommandCapacity - 1) {
        cmd[stored++] = c;
      } else {
        overflowed = true;
      }
      return false;
    }
    cmd[stored] = '\0';
    stored = 0;
    const std::size_t n = std::strlen(cmd);
    if (n > 0 && cmd[n - 1] == '\r') cmd[n - 1] = '\0';
    // A carriage return may take the last place; the text before it counts.
    tooLong = overflowed || std::strlen(cmd) > static_cast<std::size_t>(kMaxLineLength);
    overflowed = false;
    if (tooLong) cmd[0] = '\0';
    return true;
  }
};
