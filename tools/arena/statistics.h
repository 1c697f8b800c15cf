// Match statistics of the first engine: wins, losses, draws, the counts of
// game pairs, the score and the Elo difference that the score suggests with
// a 95% margin, the likelihood of superiority (LOS), and the sequential
// probability ratio test (SPRT) that may stop a match early. The tally is
// filled by the match in game order, one finished game at a time; everything
// else here is a pure function of it.
//
// Elo and its margin (single games). With N games, W wins, D draws and L
// losses the score is
//   s = (W + D/2) / N,
// the Elo difference is
//   Elo(s) = -400 * log10(1/s - 1),
// the standard error of the score is the per-game standard deviation over
// sqrt(N):
//   se = sqrt((W (1-s)^2 + D (1/2-s)^2 + L s^2) / N) / sqrt(N),
// and the margin is half the width of the Elo interval of s +/- 1.96 se:
//   margin = (Elo(s + 1.96 se) - Elo(s - 1.96 se)) / 2.
// A score of 0 or 1 has no finite Elo; an interval that reaches 0 or 1 has
// no finite margin.
//
// Outcome distributions. A single game scores a = 0, 1/2 or 1 (trinomial:
// loss, draw, win). Games 2k-1 and 2k play one opening with the colours
// swapped and form a pair; a pair scores its points over 2, a = 0, 1/4, 1/2,
// 3/4 or 1 (pentanomial: two losses; a loss and a draw; a win and a loss or
// two draws; a win and a draw; two wins). The pair is the unit when the
// match has openings, since an opening's bias then cancels inside the pair;
// without openings every game starts alike and the single game is the unit.
// With counts n_i of the outcomes a_i, N = sum n_i, mean m and variance v:
//   m = sum n_i a_i / N,  v = sum n_i (a_i - m)^2 / N.
//
// LOS, the probability that engine 1 is the stronger, from the normal
// approximation of the mean:
//   LOS = Phi((m - 1/2) / sqrt(v / N)),
// Phi the standard normal distribution function (1/2, 1 or 0 when v = 0).
//
// SPRT: the generalized SPRT on the outcome distribution with the logistic
// Elo model, the Elo the summary prints. H0 says the expected score is
// s0 = S(elo0), H1 that it is s1 = S(elo1), with S(e) = 1 / (1 + 10^(-e/400)).
// For each hypothesis the distribution is fitted by maximum likelihood to
// the observed frequencies q_i = n_i / N under the constraint that its mean
// is s; the fit is
//   p_i = q_i / (1 + lambda (a_i - s)),
// lambda the root of sum q_i (a_i - s) / (1 + lambda (a_i - s)) = 0 in the
// interval where every denominator is positive (found by bisection; the sum
// falls with lambda). The log-likelihood ratio is
//   LLR = sum n_i log(p1_i / p0_i).
// A count of 0 is taken as 0.001, so that both fits exist even when every
// outcome lies on one side of s. The test stops at the first LLR outside
//   [log(beta / (1 - alpha)), log((1 - beta) / alpha)]:
// below it H0 is accepted (the data favour elo0 over elo1), above it H1. The LLR is computed after
// every finished pair, or after every game without openings.
#pragma once

#include <vector>

namespace arena {

// Pair outcomes, indexed by the pair's half-points of engine 1: 0 (two
// losses) to 4 (two wins).
constexpr int kPairOutcomes = 5;

struct MatchTally {
  int wins = 0;
  int losses = 0;
  int draws = 0;
  int pairs[kPairOutcomes] = {0, 0, 0, 0, 0};
  int unpairedHalfPoints = -1;  // the first game of an unfinished pair, else -1

  int games() const { return wins + losses + draws; }
  double points() const { return wins + 0.5 * draws; }
  int pairCount() const;
  // Counts one more game in match order: `halfPoints` is 2 for a win of
  // engine 1, 1 for a draw, 0 for a loss. True when it completes a pair.
  bool addGame(int halfPoints);
};

struct EloEstimate {
  double score = 0;  // fraction of the points, 0..1
  bool eloFinite = false;
  double elo = 0;  // when infinite: its sign tells which way
  bool marginFinite = false;
  double margin = 0;
};

constexpr double kConfidenceZ = 1.96;  // two-sided 95% of the normal distribution

double eloFromScore(double score);
double scoreFromElo(double elo);
EloEstimate estimateElo(const MatchTally& tally);

// Counts n_i of the outcomes a_i, both in ascending order of a_i.
struct OutcomeCounts {
  std::vector<double> scores;
  std::vector<double> counts;
  double total() const;
};

OutcomeCounts singleGameCounts(const MatchTally& tally);
OutcomeCounts pairCounts(const MatchTally& tally);

// 0..1; 1/2 when there are no outcomes.
double likelihoodOfSuperiority(const OutcomeCounts& outcomes);

struct SprtTest {
  double elo0 = 0;
  double elo1 = 0;
  double alpha = 0.05;
  double beta = 0.05;

  double lowerBound() const;
  double upperBound() const;
};

enum class SprtVerdict { kContinue, kAcceptH0, kAcceptH1 };

double sprtLlr(const OutcomeCounts& outcomes, double elo0, double elo1);
SprtVerdict sprtVerdict(const SprtTest& test, double llr);

}  // namespace arena
