// Which players get huge pages behind their result tables: only those whose
// first move has room for the stalls of mapping them (a hard limit of 5 s or
// more, from the turn time or a fifth of the match time). Read back from the
// kernel's own record of the mapping, so a hint that never reaches the system
// fails too.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "player/player.h"
#include "search/brain.h"

namespace {

#ifdef __linux__
// The VmFlags line of the mapping that holds address, or "" if none does.
std::string vmFlagsAt(const void* address) {
  const auto a = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    unsigned long long start = 0, end = 0;
    if (std::sscanf(line.c_str(), "%llx-%llx ", &start, &end) == 2) {
      inside = a >= start && a < end;
      continue;
    }
    if (inside && line.rfind("VmFlags:", 0) == 0) return line;
  }
  return "";
}

bool hasHugePageFlag(const velm::VelmBrain& b) {
  // Both tables, away from their edges (madvise works on whole pages).
  const std::string tt = vmFlagsAt(&b.tt[(b.tableMask + 1) / 2]);
  const std::string tt0 = vmFlagsAt(&b.tt0[(b.tableMask + 1) / 2]);
  EXPECT_EQ(tt.find(" hg") != std::string::npos, tt0.find(" hg") != std::string::npos) << tt << "\n"
                                                                                       << tt0;
  return tt.find(" hg") != std::string::npos;
}

bool systemHasHugePages() {
  struct stat st;
  return stat("/sys/kernel/mm/transparent_hugepage", &st) == 0;
}

std::unique_ptr<Velmaro_player> player(int turnMs, int matchMs) {
  GameLimits limits;
  limits.timeoutTurn = turnMs;
  limits.timeoutMatch = matchMs;
  return std::make_unique<Velmaro_player>(15, 15, limits, 24, 0u, "");
}

TEST(TablePages, OnlyFirstMovesWithRoomForTheStallsGetHugePages) {
  if (!systemHasHugePages()) GTEST_SKIP() << "no transparent huge pages here";
  // Short turns, as in fast matches: small pages.
  auto fast = player(200, 1000000000);
  ASSERT_NE(fast->brain, nullptr);
  EXPECT_FALSE(hasHugePageFlag(*fast->brain));
  // Just under the limit, by the turn time and by a fifth of the match time.
  auto turnUnder = player(4999, 1000000000);
  EXPECT_FALSE(hasHugePageFlag(*turnUnder->brain));
  auto matchUnder = player(30000, 24999);
  EXPECT_FALSE(hasHugePageFlag(*matchUnder->brain));
  // Tournament times: huge pages; exactly 5 s by either limit is enough.
  auto tournament = player(30000, 180000);
  EXPECT_TRUE(hasHugePageFlag(*tournament->brain));
  auto turnAt = player(5000, 1000000000);
  EXPECT_TRUE(hasHugePageFlag(*turnAt->brain));
  auto matchAt = player(30000, 25000);
  EXPECT_TRUE(hasHugePageFlag(*matchAt->brain));
}
#endif

TEST(TablePages, FirstMoveLimitIsTheSmallerOfTurnAndAFifthOfTheMatch) {
  auto b = std::make_unique<velm::VelmBrain>();
  b->timeoutTurn = 30000;
  b->timeoutMatch = 180000;
  EXPECT_EQ(b->firstMoveLimit(), 30000);
  b->timeoutMatch = 100000;
  EXPECT_EQ(b->firstMoveLimit(), 20000);
  b->managerTimeLeft = 50000;  // the manager's clock, when it says less
  EXPECT_EQ(b->firstMoveLimit(), 10000);
  b->managerTimeLeft = -1;
  b->timeoutTurn = 0;
  EXPECT_EQ(b->firstMoveLimit(), 0);
}

}  // namespace
