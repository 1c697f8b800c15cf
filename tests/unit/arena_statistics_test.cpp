// The arena's match statistics against figures worked out independently by a Python 3 program
// (Newton's method on lambda where the arena bisects, the normal distribution from math.erf),
// pasted rounded to 4 decimals and checked to 3.
#include <gtest/gtest.h>

#include "statistics.h"

namespace {

using namespace arena;

constexpr double kThreeDecimals = 5e-4;

TEST(ArenaStatistics, MatchIndependentFigures) {
  struct Case {
    int ll, ld, wl, dd, wd, ww;  // game pairs by results: loss-loss, loss-draw, ...
    double elo0, elo1;
    double elo, margin;               // from single games
    double llrGames, llrPairs;        // trinomial, pentanomial
    double losGamesPct, losPairsPct;  // in percent
  };
  const Case cases[] = {
      {2, 5, 6, 4, 7, 3, 0, 30, 25.7832, 74.7669, 0.2295, 0.2441, 75.4589, 76.2308},
      {0, 1, 3, 2, 5, 9, 0, 30, 214.8477, 109.9189, 2.3592, 1.6522, 100.0000, 100.0000},
      {4, 3, 2, 1, 0, 0, 0, 10, -214.8477, 168.3992, -0.4317, -0.2919, 0.0118, 0.0014},
      // Only draws: no spread at all, and empty outcomes in both fits.
      {0, 0, 0, 6, 0, 0, 0, 30, 0.0000, 0.0000, -1.0737, -0.5338, 50.0000, 50.0000},
      {10, 40, 35, 30, 45, 12, -5, 5, 9.0920, 27.9884, 0.4477, 0.5145, 73.8384, 75.3388},
  };
  for (const Case& c : cases) {
    // The games in match order, pair by pair, as half-points of engine 1.
    MatchTally tally;
    const int pairs[][3] = {{c.ll, 0, 0}, {c.ld, 0, 1}, {c.wl, 2, 0},
                            {c.dd, 1, 1}, {c.wd, 2, 1}, {c.ww, 2, 2}};
    for (const auto& [count, first, second] : pairs)  // a pair counts at its second game
      for (int i = 0; i < count; ++i) EXPECT_TRUE(!tally.addGame(first) && tally.addGame(second));
    EXPECT_EQ(tally.pairCount(), c.ll + c.ld + c.wl + c.dd + c.wd + c.ww);
    EXPECT_EQ(tally.pairs[2], c.wl + c.dd);
    const EloEstimate elo = estimateElo(tally);
    EXPECT_NEAR(elo.elo, c.elo, kThreeDecimals) << c.ll << "," << c.ld << "," << c.wl;
    EXPECT_NEAR(elo.margin, c.margin, kThreeDecimals);
    EXPECT_NEAR(sprtLlr(singleGameCounts(tally), c.elo0, c.elo1), c.llrGames, kThreeDecimals);
    EXPECT_NEAR(sprtLlr(pairCounts(tally), c.elo0, c.elo1), c.llrPairs, kThreeDecimals);
    EXPECT_NEAR(100 * likelihoodOfSuperiority(singleGameCounts(tally)), c.losGamesPct,
                kThreeDecimals);
    EXPECT_NEAR(100 * likelihoodOfSuperiority(pairCounts(tally)), c.losPairsPct, kThreeDecimals);
  }

  // The bounds log(beta / (1 - alpha)), log((1 - beta) / alpha); verdicts.
  const SprtTest test{0, 30, 0.05, 0.1};
  EXPECT_NEAR(test.lowerBound(), -2.2513, kThreeDecimals);
  EXPECT_NEAR(test.upperBound(), 2.8904, kThreeDecimals);
  EXPECT_EQ((std::vector{sprtVerdict(test, 2.9), sprtVerdict(test, 2.8), sprtVerdict(test, -2.26)}),
            (std::vector{SprtVerdict::kAcceptH1, SprtVerdict::kContinue, SprtVerdict::kAcceptH0}));
}

}  // namespace
