// velmaro-test-brain: a scripted brain for the arena tests, with no engine in it. It speaks the
// brain side of the manager protocol, plays a scripted list of moves, then the first empty square
// in index order (x * size + y), and can misbehave on one move request of every game (below).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The options by name, with their defaults.
std::map<std::string, std::string> option = {
    // play|crash|exit|hang|occupied|offboard|error|fatal|garbage|starterror
    {"--mode", "play"},
    {"--at", "1"},             // the move request of each game (1-based) that misbehaves
    {"--if-mine", "-1,-1"},    // x,y: misbehave only in games where its own stone is there
    {"--moves", ""},           // "x,y x,y ...": the replies to the first requests of each game
    {"--messages", ""},        // "1" (a flag): MESSAGE and DEBUG lines before every move
    {"--say", ""},             // a MESSAGE line written at every START, before its OK
    {"--delay", "0"},          // ms to wait before every move
    {"--start-delay", "0"},    // ms to wait after starting, before reading anything
    {"--name", "test-brain"},  // the name given in the ABOUT reply
    {"--log", ""},             // file to append every received byte to, line endings included
    {"--pids", ""}};           // file to append its process id to, one line, when it starts
std::vector<std::pair<int, int>> script;  // --moves
int size = 0;
std::vector<int> cells;   // by index x * size + y: 0 empty, 1 own, 2 opponent
int requests = 0;         // move requests in the current game
bool showDetail = false;  // INFO show_detail 1: its search in MESSAGE lines, as velmaro writes them

void reply(const std::string& line) {
  std::cout << line << std::endl;
}

void append(const std::string& file, const std::string& bytes) {
  if (!file.empty()) std::ofstream(file, std::ios::app | std::ios::binary) << bytes;
}

// One line of input without its ending; every byte received is logged.
bool readLine(std::string& line) {
  if (!std::getline(std::cin, line)) return false;
  append(option["--log"], line + (std::cin.eof() ? "" : "\n"));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool onBoard(int x, int y) {
  return x >= 0 && y >= 0 && x < size && y < size;
}
void place(int x, int y, int who) {
  if (onBoard(x, y)) cells[x * size + y] = who;
}
std::string square(int x, int y) {
  return std::to_string(x) + "," + std::to_string(y);
}

// The index of the first empty (with `empty` false: taken) square; the last when there is none.
int first(bool empty) {
  int i = 0;
  while (i + 1 < size * size && (cells[i] == 0) != empty) ++i;
  return i;
}

// The reply to request k (0-based) of the game: the script's, else the first empty square.
std::pair<int, int> planned(std::size_t k) {
  const int empty = first(true);
  return k < script.size() ? script[k] : std::pair{empty / size, empty % size};
}

void move() {
  ++requests;
  if (showDetail) {  // before the delay: a manager reads it while the brain "thinks"
    const auto [px, py] = planned(requests - 1);
    reply("MESSAGE depth 2 score -25 nodes 100 nps 1000 time 100 pv " + square(px, py) + " " +
          square(size - 1, size - 1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(option["--delay"])));
  if (!option["--messages"].empty()) {
    reply("MESSAGE thinking about move " + std::to_string(requests));
    reply("DEBUG 7,7 looks good");
  }
  int mineX = -1, mineY = -1;
  std::sscanf(option["--if-mine"].c_str(), "%d,%d", &mineX, &mineY);
  const bool chosenGame = mineX < 0 || (onBoard(mineX, mineY) && cells[mineX * size + mineY] == 1);
  const std::string& mode = option["--mode"];
  if (requests == std::stoi(option["--at"]) && chosenGame) {
    if (mode == "crash") std::abort();
    if (mode == "exit") std::exit(3);
    if (mode == "hang") std::this_thread::sleep_for(std::chrono::seconds(30));
    if (mode == "error") return reply("ERROR something went wrong");
    if (mode == "fatal") {
      reply("Error: Internal test");
      std::exit(0);
    }
    if (mode == "garbage") return reply("hello there");
    if (mode == "offboard") return reply(square(size, 0));
    if (mode == "occupied") return reply(square(first(false) / size, first(false) % size));
  }
  const auto [x, y] = planned(requests - 1);
  place(x, y, 1);
  if (showDetail) reply("MESSAGE best " + square(x, y) + " by search depth 2");
  reply(square(x, y));
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    const bool flag = name == "--messages";
    if (!option.count(name) || (!flag && i + 1 == argc)) {
      std::fprintf(stderr, "velmaro-test-brain: bad arguments\n");
      return 2;
    }
    option[name] = flag ? "1" : argv[++i];
  }
  std::istringstream moves(option["--moves"]);
  for (int x, y; moves >> x && moves.ignore() && moves >> y;) script.push_back({x, y});
  append(option["--log"], "# start\n");
  append(option["--pids"], std::to_string(getpid()) + "\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(option["--start-delay"])));

  for (std::string line; readLine(line);) {
    int x = -1, y = -1, who = 0;  // off the board: BEGIN places no stone
    if (line.starts_with("ABOUT")) {
      reply("name=\"" + option["--name"] + "\", version=\"1.0\", author=\"tests\"");
    } else if (line.starts_with("START") && option["--mode"] == "starterror") {
      reply("ERROR start refused");
    } else if (line.starts_with("START")) {
      size = std::atoi(line.c_str() + 5);
      cells.assign(size * size, 0);
      requests = 0;
      if (!option["--say"].empty()) reply("MESSAGE " + option["--say"]);
      reply("OK");
    } else if (line == "BEGIN" || std::sscanf(line.c_str(), "TURN %d,%d", &x, &y) == 2) {
      place(x, y, 2);
      move();
    } else if (line.starts_with("BOARD")) {
      while (readLine(line) && std::sscanf(line.c_str(), "%d,%d,%d", &x, &y, &who) == 3)
        place(x, y, who);
      move();
    } else if (line.starts_with("END")) {
      return 0;
    } else if (line.starts_with("INFO show_detail")) {
      showDetail = std::atoi(line.c_str() + 16) > 0;
    } else if (!line.starts_with("INFO")) {
      reply("UNKNOWN command");
    }
  }
  return 0;
}
