#include "options.h"

#include <charconv>
#include <cstring>

namespace arena {

namespace {

bool parseInt(const std::string& text, long long low, long long high, long long& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value >= low && value <= high;
}

}  // namespace

std::string usageText() {
  return "usage: velmaro-arena --engine CMD --engine CMD [options]\n"
         "       velmaro-arena --serve PORT --engine CMD [--engine CMD] [options]\n"
         "  --engine CMD      a brain's command line, run through the shell (give it twice)\n"
         "  --size N          board size, 5 to 26 (default 15)\n"
         "  --games N         number of games (default: 2 per opening, else 2)\n"
         "  --turn MS         time for one move in milliseconds (default 5000)\n"
         "  --match MS        time for all moves of one game (default 0: no limit)\n"
         "  --tolerance MS    slack before a late reply loses (default 1000)\n"
         "  --memory BYTES    INFO max_memory sent to the brains (default 0: no limit)\n"
         "  --openings FILE   openings, one per line: dx,dy, dx,dy, ... from the centre\n"
         "  --psq DIR         write one .psq record per game into DIR\n"
         "  --sgf FILE        append every game to FILE in SGF\n"
         "  --show            draw the board after every move and print brain messages\n"
         "  --folder DIR      parent folder of the brains' data folders (default: current)\n"
         "  --serve PORT      serve the board page on PORT (0: any free port): play the\n"
         "                    brain, or watch two brains play\n"
         "  --listen ADDR     the address to serve on (default 127.0.0.1: this machine only)\n";
}

bool parseOptions(int argc, const char* const* argv, ArenaOptions& options, bool& help,
                  std::string& error) {
  help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      help = true;
      return true;
    }
    if (name == "--show") {
      options.show = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = name.rfind("--", 0) == 0 ? "missing value after " + name : "unknown argument " + name;
      return false;
    }
    const std::string value = argv[++i];
    long long number = 0;
    auto numeric = [&](long long low, long long high) {
      if (parseInt(value, low, high, number)) return true;
      error = "bad value for " + name + ": " + value;
      return false;
    };
    if (name == "--engine") {
      options.engines.push_back(value);
    } else if (name == "--size") {
      if (!numeric(kMinSize, kMaxSize)) return false;
      options.size = static_cast<int>(number);
    } else if (name == "--games") {
      if (!numeric(1, 1000000)) return false;
      options.games = static_cast<int>(number);
    } else if (name == "--turn") {
      if (!numeric(1, kUnlimitedMatchMs)) return false;
      options.turnMs = static_cast<int>(number);
    } else if (name == "--match") {
      if (!numeric(0, kUnlimitedMatchMs)) return false;
      options.matchMs = static_cast<int>(number);
    } else if (name == "--tolerance") {
      if (!numeric(0, 3600000)) return false;
      options.toleranceMs = static_cast<int>(number);
    } else if (name == "--memory") {
      if (!numeric(0, 2147483647)) return false;
      options.maxMemory = number;
    } else if (name == "--openings") {
      options.openingsFile = value;
    } else if (name == "--psq") {
      options.psqFolder = value;
    } else if (name == "--sgf") {
      options.sgfFile = value;
    } else if (name == "--folder") {
      options.dataFolder = value;
    } else if (name == "--serve") {
      if (!numeric(0, 65535)) return false;
      options.servePort = static_cast<int>(number);
    } else if (name == "--listen") {
      options.listenAddress = value;
    } else {
      error = "unknown option " + name;
      return false;
    }
  }
  if (options.servePort >= 0 && (options.engines.empty() || options.engines.size() > 2)) {
    error = "give one or two --engine commands with --serve";
    return false;
  }
  if (options.servePort < 0 && options.engines.size() != 2) {
    error = "give exactly two --engine commands";
    return false;
  }
  return true;
}

}  // namespace arena
