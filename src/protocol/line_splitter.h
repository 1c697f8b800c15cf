// LineSplitter: cuts the manager's byte stream into command lines.
//
// A line ends at a line feed. At most kCommandCapacity - 1 characters are
// kept (the rest of a longer line is dropped), a carriage return just before
// the end is removed, and a NUL byte ends the line's text early. `stored`
// counts the bytes of the current line kept so far; only add() changes it.
// The command loop reads standard input through it, and the protocol fuzzing
// harness feeds it arbitrary bytes, so both see the same lines.
#pragma once

#include <cstring>

constexpr int kCommandCapacity = 256;  // one input line: 255 characters and NUL

class LineSplitter {
 public:
  int stored = 0;

  // Takes the next byte into cmd (kCommandCapacity bytes). True when the
  // byte ended a line: cmd then holds it, NUL-terminated.
  bool add(char c, char* cmd) {
    if (stored < kCommandCapacity) cmd[stored++] = c;
    if (c != '\n') return false;
    // The last kept byte is the line feed, or the 256th byte of a longer
    // line; either way the text ends before it.
    cmd[stored - 1] = '\0';
    stored = 0;
    const std::size_t n = std::strlen(cmd);
    if (n > 0 && cmd[n - 1] == '\r') cmd[n - 1] = '\0';
    return true;
  }
};
