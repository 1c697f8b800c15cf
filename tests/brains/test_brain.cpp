// velmaro-test-brain: a small scripted brain for the arena tests. It speaks
// the brain side of the manager protocol, plays either a scripted list of
// moves or the first empty square in index order (x * size + y), and can be
// told to misbehave on one move request of every game:
//
//   --mode play|crash|exit|hang|occupied|offboard|error|fatal|garbage|starterror
//   --at N         the move request of each game (1-based) that misbehaves
//   --if-mine x,y  misbehave only in games where its own stone is on x,y then
//   --moves "x,y x,y ..."   the replies to the first requests of each game
//   --messages     write MESSAGE and DEBUG lines before every move
//   --delay MS     wait before every move
//   --name NAME    the name given in the ABOUT reply
//   --log FILE     append every received byte (line endings included)
//   --pids FILE    append its process id, one line, when it starts
//
// It has no engine in it: its only job is to be predictable.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct Config {
  std::string mode = "play";
  int at = 1;
  std::vector<std::pair<int, int>> script;
  bool messages = false;
  int delayMs = 0;
  std::string name = "test-brain";
  std::string logPath;
  std::string pidsPath;
  int mineX = -1, mineY = -1;  // --if-mine; -1: every game
};

Config config;
int size = 0;
std::vector<int> cells;  // 0 empty, 1 own, 2 opponent
int requests = 0;        // move requests in the current game

void reply(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void logBytes(const std::string& bytes) {
  if (config.logPath.empty()) return;
  FILE* f = std::fopen(config.logPath.c_str(), "ab");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// One raw line from standard input, with its ending; false at end of input.
bool readRaw(std::string& raw) {
  raw.clear();
  int c;
  while ((c = std::getchar()) != EOF) {
    raw += static_cast<char>(c);
    if (c == '\n') break;
  }
  if (raw.empty()) return false;
  logBytes(raw);
  return true;
}

std::string stripped(const std::string& raw) {
  std::string s = raw;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

bool startsWith(const std::string& s, const char* word) {
  return s.compare(0, std::strlen(word), word) == 0;
}

void newGame(int n) {
  size = n;
  cells.assign(static_cast<std::size_t>(n * n), 0);
  requests = 0;
}

bool onBoard(int x, int y) {
  return x >= 0 && y >= 0 && x < size && y < size;
}
int& cell(int x, int y) {
  return cells[static_cast<std::size_t>(x * size + y)];
}

void place(int x, int y, int who) {
  if (onBoard(x, y)) cell(x, y) = who;
}

void move() {
  ++requests;
  if (config.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(config.delayMs));
  if (config.messages) {
    reply("MESSAGE thinking about move " + std::to_string(requests));
    reply("DEBUG 7,7 looks good");
  }
  const bool chosenGame = config.mineX < 0 || (onBoard(config.mineX, config.mineY) &&
                                               cell(config.mineX, config.mineY) == 1);
  if (requests == config.at && chosenGame) {
    const std::string& m = config.mode;
    if (m == "crash") std::abort();
    if (m == "exit") std::exit(3);
    if (m == "hang") std::this_thread::sleep_for(std::chrono::seconds(30));
    if (m == "error") return reply("ERROR something went wrong");
    if (m == "fatal") {
      reply("Error: Internal test");
      std::exit(0);
    }
    if (m == "garbage") return reply("hello there");
    if (m == "offboard") return reply(std::to_string(size) + ",0");
    if (m == "occupied") {
      for (int i = 0; i < size * size; ++i) {
        if (cells[static_cast<std::size_t>(i)] != 0) {
          return reply(std::to_string(i / size) + "," + std::to_string(i % size));
        }
      }
    }
  }
  int x = -1, y = -1;
  const std::size_t k = static_cast<std::size_t>(requests - 1);
  if (k < config.script.size()) {
    x = config.script[k].first;
    y = config.script[k].second;
  } else {
    for (int i = 0; i < size * size && x < 0; ++i) {
      if (cells[static_cast<std::size_t>(i)] == 0) {
        x = i / size;
        y = i % size;
      }
    }
  }
  place(x, y, 1);
  reply(std::to_string(x) + "," + std::to_string(y));
}

bool parseConfig(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--messages") {
      config.messages = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    std::string v = argv[++i];
    if (a == "--mode") {
      config.mode = v;
    } else if (a == "--at") {
      config.at = std::atoi(v.c_str());
    } else if (a == "--delay") {
      config.delayMs = std::atoi(v.c_str());
    } else if (a == "--name") {
      config.name = v;
    } else if (a == "--log") {
      config.logPath = v;
    } else if (a == "--pids") {
      config.pidsPath = v;
    } else if (a == "--if-mine") {
      if (std::sscanf(v.c_str(), "%d,%d", &config.mineX, &config.mineY) != 2) return false;
    } else if (a == "--moves") {
      int x, y, used;
      const char* p = v.c_str();
      while (std::sscanf(p, " %d,%d%n", &x, &y, &used) == 2) {
        config.script.push_back({x, y});
        p += used;
      }
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!parseConfig(argc, argv)) {
    std::fprintf(stderr, "velmaro-test-brain: bad arguments\n");
    return 2;
  }
  logBytes("# start\n");
  if (!config.pidsPath.empty()) {
    FILE* f = std::fopen(config.pidsPath.c_str(), "a");
    if (f != nullptr) {
      std::fprintf(f, "%d\n", static_cast<int>(getpid()));
      std::fclose(f);
    }
  }
  std::string raw;
  while (readRaw(raw)) {
    const std::string line = stripped(raw);
    int x = 0, y = 0, who = 0;
    if (startsWith(line, "ABOUT")) {
      reply("name=\"" + config.name + "\", version=\"1.0\", author=\"tests\"");
    } else if (startsWith(line, "START")) {
      if (config.mode == "starterror") {
        reply("ERROR start refused");
      } else {
        newGame(std::atoi(line.c_str() + 5));
        reply("OK");
      }
    } else if (startsWith(line, "RESTART")) {
      newGame(size);
      reply("OK");
    } else if (startsWith(line, "INFO")) {
      // settings are not used
    } else if (startsWith(line, "BEGIN")) {
      move();
    } else if (std::sscanf(line.c_str(), "TURN %d,%d", &x, &y) == 2) {
      place(x, y, 2);
      move();
    } else if (startsWith(line, "BOARD")) {
      while (readRaw(raw)) {
        const std::string stone = stripped(raw);
        if (std::sscanf(stone.c_str(), "%d,%d,%d", &x, &y, &who) != 3) break;
        place(x, y, who);
      }
      move();
    } else if (startsWith(line, "END")) {
      return 0;
    } else {
      reply("UNKNOWN command");
    }
  }
  return 0;
}
