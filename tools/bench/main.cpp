// velmaro-bench [suite [--threads N] [--depth D] [--turn MS]]: runs the named suite, or
// every suite when none is named. velmaro-bench position SIZE "x,y ...":
// prints one position.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench.h"

namespace {

struct Suite {
  const char* name;
  void (*run)(const BenchOptions& options);
};

const Suite kSuites[] = {
    {"board", [](const BenchOptions&) { runBoardBench(); }},
    {"search", runSearchBench},
    {"deadline", [](const BenchOptions&) { runDeadlineBench(); }},
    {"selfplay", [](const BenchOptions&) { runSelfPlayBench(); }},
};

// The options after the suite's name; false on a word it does not know.
bool parseOptions(int argc, char** argv, BenchOptions& options) {
  for (int i = 0; i < argc; i++) {
    int* option = std::strcmp(argv[i], "--threads") == 0 ? &options.threads
                  : std::strcmp(argv[i], "--depth") == 0 ? &options.depth
                  : std::strcmp(argv[i], "--turn") == 0  ? &options.turnMs
                                                         : nullptr;
    if (option == nullptr || i + 1 >= argc) return false;
    *option = std::atoi(argv[++i]);
    if (*option < 1) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* wanted = argc > 1 ? argv[1] : nullptr;
  if (wanted != nullptr && std::strcmp(wanted, "position") == 0)
    return runPositionReport(argc - 2, argv + 2);
  BenchOptions options;
  if (argc > 2 && !parseOptions(argc - 2, argv + 2, options)) {
    std::fprintf(stderr, "usage: velmaro-bench [suite [--threads N] [--depth D] [--turn MS]]\n");
    return 2;
  }
  bool ran = false;
  for (const Suite& s : kSuites) {
    if (wanted != nullptr && std::strcmp(wanted, s.name) != 0) continue;
    std::printf("== %s\n", s.name);
    s.run(options);
    ran = true;
  }
  if (!ran) {
    std::fprintf(stderr, "unknown suite \"%s\"; suites:", wanted);
    for (const Suite& s : kSuites) std::fprintf(stderr, " %s", s.name);
    std::fprintf(stderr, " (or: position SIZE \"x,y ...\")\n");
    return 2;
  }
  return 0;
}
