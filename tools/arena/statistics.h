// Match statistics of the first engine: wins, losses, draws, the score and
// the Elo difference that the score suggests, with a 95% margin.
//
// With N games, W wins, D draws and L losses the score is
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
#pragma once

namespace arena {

struct MatchTally {
  int wins = 0;
  int losses = 0;
  int draws = 0;
  int games() const { return wins + losses + draws; }
  double points() const { return wins + 0.5 * draws; }
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
EloEstimate estimateElo(const MatchTally& tally);

}  // namespace arena
