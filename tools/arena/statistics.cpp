#include "statistics.h"

#include <cmath>

namespace arena {

// Written as log10(s / (1 - s)), which equals -log10(1/s - 1), so that an
// even score gives +0 rather than -0.
double eloFromScore(double score) {
  return 400.0 * std::log10(score / (1.0 - score));
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

}  // namespace arena
