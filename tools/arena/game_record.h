// GameRecord: everything the arena keeps about one finished game, in the
// order the stones were played. Engines are named by their index in the
// match (0 = the first --engine, 1 = the second); `blackEngine` says which of
// them had the first stone of the game (the opening's first stone included).
// The referee fills a record while the game runs; the writers of the .psq
// and SGF files and the progress line only read it.
#pragma once

#include <string>
#include <vector>

namespace arena {

// How a game ended. The numbers are the end codes written into .psq files.
enum class EndReason {
  kFive = 0,         // the last stone made five or more in a row
  kBoardFull = 1,    // draw
  kCrash = 2,        // the engine died or closed its output
  kTurnTime = 3,     // a reply took longer than the turn time plus tolerance
  kMatchTime = 4,    // the engine ran out of its time for the game
  kIllegalMove = 5,  // a stone off the board or on an occupied square
  kErrorReply = 6,   // the engine answered a request with ERROR
  kNotAMove = 7,     // the engine answered with a line that is not a move
  kSetupFailed = 8,  // START was not answered with OK
  kResigned = 9,     // the person at the board page resigned
};

inline int endCode(EndReason reason) {
  return static_cast<int>(reason);
}

constexpr int kNoWinner = -1;

struct RecordedMove {
  int x = 0;
  int y = 0;
  long long ms = 0;      // reply time measured by the arena; 0 for opening stones
  bool opening = false;  // placed by the arena from the opening, not by an engine
};

struct EngineMessage {
  int engine = 0;
  std::string text;  // a MESSAGE, DEBUG or SUGGEST line, as the engine wrote it
  // The 1-based number of the stone the line came before: the stones on the
  // board when it was read, plus one. Lines read while a game is set up
  // precede stone 1; lines before a reply that lost the game precede a
  // stone that was never placed.
  int move = 1;
};

struct GameRecord {
  int number = 0;  // 1-based number of the game in the match
  int size = 0;
  int blackEngine = 0;
  std::string names[2];
  std::vector<RecordedMove> moves;
  int winner = kNoWinner;  // engine index, or kNoWinner for a draw
  EndReason reason = EndReason::kBoardFull;
  std::string detail;             // the reason in words, e.g. "engine 2 crashed (exit code 1)"
  long long slowest[2] = {0, 0};  // slowest reply of each engine in this game
  std::vector<EngineMessage> messages;

  // The engine that plays the stone with this 0-based number.
  int engineOfMove(std::size_t moveIndex) const {
    return moveIndex % 2 == 0 ? blackEngine : 1 - blackEngine;
  }
};

}  // namespace arena
