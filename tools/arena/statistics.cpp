#include "statistics.h"

#include <algorithm>
#include <cmath>

namespace arena {

namespace {

// A count of 0 enters the SPRT fits as this much, so that a fit exists even
// when every outcome lies on one side of the hypothesis' score.
constexpr double kEmptyCount = 1e-3;
// Bisection steps for lambda: the interval halves each time, far below any
// printed digit after 200 steps.
constexpr int kBisectionSteps = 200;

double mean(const OutcomeCounts& o) {
  double sum = 0;
  for (std::size_t i = 0; i < o.scores.size(); ++i) sum += o.counts[i] * o.scores[i];
  return sum / o.total();
}

double variance(const OutcomeCounts& o, double m) {
  double sum = 0;
  for (std::size_t i = 0; i < o.scores.size(); ++i) {
    sum += o.counts[i] * (o.scores[i] - m) * (o.scores[i] - m);
  }
  return sum / o.total();
}

// The maximum-likelihood distribution with mean s for frequencies q:
// p_i = q_i / (1 + lambda (a_i - s)), lambda bisected in the open interval
// where every denominator is positive.
std::vector<double> fitWithMean(const std::vector<double>& scores, const std::vector<double>& q,
                                double s) {
  const double high = 1.0 / (s - scores.front());
  const double low = -1.0 / (scores.back() - s);
  auto slope = [&](double lambda) {
    double sum = 0;
    for (std::size_t i = 0; i < scores.size(); ++i) {
      const double d = scores[i] - s;
      sum += q[i] * d / (1.0 + lambda * d);
    }
    return sum;
  };
  double a = low, b = high;
  for (int step = 0; step < kBisectionSteps; ++step) {
    const double middle = (a + b) / 2.0;
    if (slope(middle) > 0) {
      a = middle;
    } else {
      b = middle;
    }
  }
  const double lambda = (a + b) / 2.0;
  std::vector<double> p(scores.size());
  for (std::size_t i = 0; i < scores.size(); ++i) p[i] = q[i] / (1.0 + lambda * (scores[i] - s));
  return p;
}

}  // namespace

int MatchTally::pairCount() const {
  int n = 0;
  for (int c : pairs) n += c;
  return n;
}

bool MatchTally::addGame(int halfPoints) {
  if (halfPoints == 2) {
    ++wins;
  } else if (halfPoints == 1) {
    ++draws;
  } else {
    ++losses;
  }
  if (unpairedHalfPoints < 0) {
    unpairedHalfPoints = halfPoints;
    return false;
  }
  ++pairs[unpairedHalfPoints + halfPoints];
  unpairedHalfPoints = -1;
  return true;
}

// Written as log10(s / (1 - s)), which equals -log10(1/s - 1), so that an
// even score gives +0 rather than -0.
double eloFromScore(double score) {
  return 400.0 * std::log10(score / (1.0 - score));
}

double scoreFromElo(double elo) {
  return 1.0 / (1.0 + std::pow(10.0, -elo / 400.0));
}

EloEstimate estimateElo(const MatchTally& tally) {
  EloEstimate e;
  const int n = tally.games();
  if (n == 0) return e;
  const double s = tally.points() / n;
  e.score = s;
  if (s <= 0.0 || s >= 1.0) {
    e.elo = s <= 0.0 ? -1.0 : 1.0;
    return e;
  }
  e.eloFinite = true;
  e.elo = eloFromScore(s);
  const double variance = (tally.wins * (1.0 - s) * (1.0 - s) +
                           tally.draws * (0.5 - s) * (0.5 - s) + tally.losses * s * s) /
                          n;
  const double se = std::sqrt(variance) / std::sqrt(static_cast<double>(n));
  const double low = s - kConfidenceZ * se;
  const double high = s + kConfidenceZ * se;
  if (low > 0.0 && high < 1.0) {
    e.marginFinite = true;
    e.margin = (eloFromScore(high) - eloFromScore(low)) / 2.0;
  }
  return e;
}

double OutcomeCounts::total() const {
  double n = 0;
  for (double c : counts) n += c;
  return n;
}

OutcomeCounts singleGameCounts(const MatchTally& tally) {
  return {{0.0, 0.5, 1.0},
          {static_cast<double>(tally.losses), static_cast<double>(tally.draws),
           static_cast<double>(tally.wins)}};
}

OutcomeCounts pairCounts(const MatchTally& tally) {
  OutcomeCounts o;
  for (int i = 0; i < kPairOutcomes; ++i) {
    o.scores.push_back(i / 4.0);
    o.counts.push_back(tally.pairs[i]);
  }
  return o;
}

double likelihoodOfSuperiority(const OutcomeCounts& outcomes) {
  const double n = outcomes.total();
  if (n == 0) return 0.5;
  const double m = mean(outcomes);
  const double v = variance(outcomes, m);
  if (v == 0) return m > 0.5 ? 1.0 : m < 0.5 ? 0.0 : 0.5;
  const double z = (m - 0.5) / std::sqrt(v / n);
  return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

double SprtTest::lowerBound() const {
  return std::log(beta / (1.0 - alpha));
}

double SprtTest::upperBound() const {
  return std::log((1.0 - beta) / alpha);
}

double sprtLlr(const OutcomeCounts& outcomes, double elo0, double elo1) {
  // Step 1. The frequencies, with empty outcomes counted as kEmptyCount.
  std::vector<double> counts = outcomes.counts;
  for (double& c : counts) c = std::max(c, kEmptyCount);
  double n = 0;
  for (double c : counts) n += c;
  std::vector<double> q(counts.size());
  for (std::size_t i = 0; i < counts.size(); ++i) q[i] = counts[i] / n;
  // Step 2. The best fit under each hypothesis, and the likelihood ratio.
  const std::vector<double> p0 = fitWithMean(outcomes.scores, q, scoreFromElo(elo0));
  const std::vector<double> p1 = fitWithMean(outcomes.scores, q, scoreFromElo(elo1));
  double llr = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) llr += counts[i] * std::log(p1[i] / p0[i]);
  return llr;
}

SprtVerdict sprtVerdict(const SprtTest& test, double llr) {
  if (llr >= test.upperBound()) return SprtVerdict::kAcceptH1;
  if (llr <= test.lowerBound()) return SprtVerdict::kAcceptH0;
  return SprtVerdict::kContinue;
}

}  // namespace arena
