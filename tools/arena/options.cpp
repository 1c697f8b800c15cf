#include "options.h"

#include <strings.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace arena {

namespace {

bool parseInt(const std::string& text, long long low, long long high, long long& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value >= low && value <= high;
}

// A decimal number, nothing else.
bool parseDouble(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(value);
}

// "BASE+INC" or "BASE", in seconds, into milliseconds.
bool parseClock(const std::string& text, int& baseMs, int& incrementMs) {
  const std::size_t plus = text.find('+');
  double base = 0, increment = 0;
  if (!parseDouble(text.substr(0, plus), base)) return false;
  if (plus != std::string::npos && !parseDouble(text.substr(plus + 1), increment)) return false;
  constexpr double kMsPerSecond = 1000.0;
  const double maxSeconds = kUnlimitedMatchMs / kMsPerSecond;
  if (base <= 0 || base > maxSeconds || increment < 0 || increment > maxSeconds) return false;
  baseMs = static_cast<int>(std::lround(base * kMsPerSecond));
  incrementMs = static_cast<int>(std::lround(increment * kMsPerSecond));
  return baseMs > 0;
}

// The KEY=VALUE words after --sprt, from argv[i + 1] on; i is left on the
// last one taken.
bool parseSprt(int argc, const char* const* argv, int& i, SprtTest& test, std::string& error) {
  bool elo0 = false, elo1 = false;
  while (i + 1 < argc) {
    const std::string word = argv[i + 1];
    const std::size_t eq = word.find('=');
    if (eq == std::string::npos || word.rfind("--", 0) == 0) break;
    const std::string key = word.substr(0, eq);
    double value = 0;
    if (!parseDouble(word.substr(eq + 1), value)) {
      error = "bad value in --sprt " + word;
      return false;
    }
    if (key == "elo0") {
      test.elo0 = value;
      elo0 = true;
    } else if (key == "elo1") {
      test.elo1 = value;
      elo1 = true;
    } else if (key == "alpha") {
      test.alpha = value;
    } else if (key == "beta") {
      test.beta = value;
    } else {
      error = "unknown --sprt setting " + word;
      return false;
    }
    ++i;
  }
  if (!elo0 || !elo1 || test.elo0 >= test.elo1) {
    error = "--sprt needs elo0=A elo1=B with A < B";
    return false;
  }
  if (test.alpha <= 0 || test.beta <= 0 || test.alpha + test.beta >= 1) {
    error = "--sprt needs alpha and beta above 0 with alpha + beta below 1";
    return false;
  }
  return true;
}

// An --engine-info line goes to the brain after "INFO ", as one protocol
// line: a line break in it would smuggle in a command of its own.
bool checkEngineInfo(const std::string& line, std::string& error) {
  const std::size_t key = line.find_first_not_of(' ');
  if (key == std::string::npos) {
    error = "empty --engine-info";
    return false;
  }
  for (char c : line) {
    if (static_cast<unsigned char>(c) < ' ' || c == '\x7f') {
      error = "--engine-info holds a control character: one line, e.g. \"thread_num 2\"";
      return false;
    }
  }
  constexpr const char* kInfoWord = "INFO ";
  if (strncasecmp(line.c_str() + key, kInfoWord, std::strlen(kInfoWord)) == 0) {
    error = "give --engine-info without INFO, e.g. \"thread_num 2\"";
    return false;
  }
  return true;
}

}  // namespace

std::string usageText() {
  return "usage: velmaro-arena --engine CMD --engine CMD [options]\n"
         "       velmaro-arena --serve PORT --engine CMD [--engine CMD] [options]\n"
         "       velmaro-arena merge [--sprt ...] [--results FILE] RESULTS...\n"
         "  --engine CMD      a brain's command line, run through the shell (give it twice)\n"
         "  --engine-info LINE\n"
         "                    sent as INFO LINE after every START to the --engine before it,\n"
         "                    e.g. \"thread_num 2\" (repeatable)\n"
         "  --size N          board size, 5 to 26 (default 15)\n"
         "  --games N         number of games (default: 2 per opening, else 2)\n"
         "  --turn MS         time for one move in milliseconds (default 5000)\n"
         "  --match MS        time for all moves of one game (default 0: no limit)\n"
         "  --tolerance MS    slack before a late reply loses (default 1000)\n"
         "  --memory BYTES    INFO max_memory sent to the brains (default 0: no limit)\n"
         "  --openings FILE   openings, one per line: dx,dy, dx,dy, ... from the centre\n"
         "  --psq DIR         write one .psq record per game into DIR\n"
         "  --sgf FILE        append every game to FILE in SGF, MESSAGE lines as comments\n"
         "  --messages FILE   append the brains' MESSAGE lines to FILE (game, engine, move)\n"
         "  --show            draw the board after every move and print brain messages\n"
         "  --folder DIR      parent folder of the brains' data folders (default: current)\n"
         "  --concurrency N   games played at once, each with its own brains (default 1)\n"
         "  --sprt elo0=A elo1=B [alpha=0.05] [beta=0.05]\n"
         "                    stop when the SPRT of elo0 against elo1 decides\n"
         "  --tc BASE+INC     a clock per engine: BASE seconds a game, INC more after each move\n"
         "  --shard K/N       play only the game pairs p with p mod N = K - 1 (implies --fresh)\n"
         "  --fresh           every game with new brain processes in emptied data folders\n"
         "  --results FILE    write the match (or the shard) as JSON, for `merge`\n"
         "  --serve PORT      serve the board page on PORT (0: any free port): play the\n"
         "                    brain, or watch two brains play\n"
         "  --listen ADDR     the address to serve on (default 127.0.0.1: this machine only)\n";
}

bool parseMergeOptions(int argc, const char* const* argv, MergeOptions& options, bool& help,
                       std::string& error) {
  help = false;
  for (int i = 2; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      help = true;
      return true;
    }
    if (name == "--sprt") {
      options.sprt = true;
      if (!parseSprt(argc, argv, i, options.sprtTest, error)) return false;
    } else if (name == "--results") {
      if (i + 1 >= argc) {
        error = "missing value after --results";
        return false;
      }
      options.resultsFile = argv[++i];
    } else if (name.rfind("--", 0) == 0) {
      error = "unknown option of merge " + name;
      return false;
    } else {
      options.files.push_back(name);
    }
  }
  if (options.files.empty()) {
    error = "give merge the results files of the slices";
    return false;
  }
  return true;
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
    if (name == "--fresh") {
      options.fresh = true;
      continue;
    }
    if (name == "--sprt") {
      options.sprt = true;
      if (!parseSprt(argc, argv, i, options.sprtTest, error)) return false;
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
      options.engineInfo.emplace_back();
    } else if (name == "--engine-info") {
      if (options.engines.empty()) {
        error = "--engine-info belongs to the --engine before it: give that first";
        return false;
      }
      if (!checkEngineInfo(value, error)) return false;
      options.engineInfo.back().push_back(value);
    } else if (name == "--size") {
      if (!numeric(kMinSize, kMaxSize)) return false;
      options.size = static_cast<int>(number);
    } else if (name == "--games") {
      if (!numeric(1, kMaxGames)) return false;
      options.games = static_cast<int>(number);
    } else if (name == "--turn") {
      if (!numeric(1, kUnlimitedMatchMs)) return false;
      options.turnMs = static_cast<int>(number);
      options.turnGiven = true;
    } else if (name == "--match") {
      if (!numeric(0, kUnlimitedMatchMs)) return false;
      options.matchMs = static_cast<int>(number);
    } else if (name == "--tolerance") {
      if (!numeric(0, kMaxToleranceMs)) return false;
      options.toleranceMs = static_cast<int>(number);
    } else if (name == "--memory") {
      if (!numeric(0, kMaxMemoryBytes)) return false;
      options.maxMemory = number;
    } else if (name == "--openings") {
      options.openingsFile = value;
    } else if (name == "--psq") {
      options.psqFolder = value;
    } else if (name == "--sgf") {
      options.sgfFile = value;
    } else if (name == "--messages") {
      options.messagesFile = value;
    } else if (name == "--folder") {
      options.dataFolder = value;
    } else if (name == "--concurrency") {
      if (!numeric(1, kMaxConcurrency)) return false;
      options.concurrency = static_cast<int>(number);
    } else if (name == "--tc") {
      if (!parseClock(value, options.clockMs, options.incrementMs)) {
        error = "bad value for --tc: " + value + " (BASE+INC in seconds, e.g. 60+0.5)";
        return false;
      }
    } else if (name == "--serve") {
      if (!numeric(0, kMaxPort)) return false;
      options.servePort = static_cast<int>(number);
    } else if (name == "--listen") {
      options.listenAddress = value;
    } else if (name == "--shard") {
      if (!parseShard(value, options.shard)) {
        error = "bad value for --shard: " + value + " (K/N with 1 <= K <= N, e.g. 2/3)";
        return false;
      }
      options.fresh = true;
    } else if (name == "--results") {
      options.resultsFile = value;
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
  if (options.clockMs > 0 && options.matchMs > 0) {
    error = "give --tc or --match, not both";
    return false;
  }
  // Each slice would stop at its own moment, and the slices would no longer
  // add up to one match: the test is run on the merged slices.
  if (options.sprt && !options.shard.whole() && options.servePort < 0) {
    error = "--sprt stops a whole match; give it to `velmaro-arena merge` for shards";
    return false;
  }
  // Boards of several games at once would interleave.
  if (options.show && options.concurrency > 1) {
    error = "--show needs --concurrency 1";
    return false;
  }
  return true;
}

}  // namespace arena
