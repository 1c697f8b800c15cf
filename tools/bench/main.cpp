// velmaro-bench [suite]: runs the named suite, or every suite when none is
// named. velmaro-bench position SIZE "x,y ...": prints one position.
#include <cstdio>
#include <cstring>

#include "bench.h"

namespace {

struct Suite {
  const char* name;
  void (*run)();
};

const Suite kSuites[] = {
    {"board", runBoardBench},
    {"search", runSearchBench},
    {"deadline", runDeadlineBench},
    {"selfplay", runSelfPlayBench},
};

}  // namespace

int main(int argc, char** argv) {
  const char* wanted = argc > 1 ? argv[1] : nullptr;
  if (wanted != nullptr && std::strcmp(wanted, "position") == 0)
    return runPositionReport(argc - 2, argv + 2);
  bool ran = false;
  for (const Suite& s : kSuites) {
    if (wanted != nullptr && std::strcmp(wanted, s.name) != 0) continue;
    std::printf("== %s\n", s.name);
    s.run();
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
