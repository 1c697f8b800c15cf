#include "display.h"

#include <cstdio>

namespace arena {

std::string boardText(const GameBoard& board, int lastX, int lastY) {
  char cell[16];
  std::string out = "   ";
  for (int x = 0; x < board.size(); ++x) {
    std::snprintf(cell, sizeof cell, "%2d ", x);
    out += cell;
  }
  out += "\n";
  for (int y = 0; y < board.size(); ++y) {
    std::snprintf(cell, sizeof cell, "%2d ", y);
    out += cell;
    for (int x = 0; x < board.size(); ++x) {
      const int stone = board.at(x, y);
      const char symbol = stone == kBlack ? 'X' : stone == kWhite ? 'O' : '.';
      const bool last = x == lastX && y == lastY;
      out += last ? '[' : ' ';
      out += symbol;
      out += last ? ']' : ' ';
    }
    out += "\n";
  }
  return out;
}

std::string progressLine(const GameRecord& game, int totalGames) {
  std::string line =
      "Game " + std::to_string(game.number) + " of " + std::to_string(totalGames) + ": ";
  if (game.winner == kNoWinner) {
    line += "draw";
  } else {
    line += "engine " + std::to_string(game.winner + 1) +
            (game.winner == game.blackEngine ? " (black)" : " (white)") + " wins";
  }
  line += ", " + game.detail + "; " + std::to_string(game.moves.size()) + " moves; slowest reply " +
          std::to_string(game.slowest[0]) + " ms (engine 1), " + std::to_string(game.slowest[1]) +
          " ms (engine 2)";
  return line;
}

std::string eloText(const MatchTally& tally) {
  char text[128];
  const EloEstimate elo = estimateElo(tally);
  if (tally.games() == 0) return "none (no games)";
  if (!elo.eloFinite) return elo.elo > 0 ? "+inf" : "-inf";
  if (!elo.marginFinite) {
    std::snprintf(text, sizeof text, "%+.1f +/- inf (95%%)", elo.elo);
  } else {
    std::snprintf(text, sizeof text, "%+.1f +/- %.1f (95%%)", elo.elo, elo.margin);
  }
  return text;
}

const char* verdictText(SprtVerdict verdict) {
  return verdict == SprtVerdict::kAcceptH1   ? "H1 accepted"
         : verdict == SprtVerdict::kAcceptH0 ? "H0 accepted"
                                             : "no decision";
}

namespace {

std::string llrText(const SprtStatus& sprt) {
  char text[128];
  std::snprintf(text, sizeof text, "LLR %.2f (%.2f, %.2f)", sprt.llr, sprt.test.lowerBound(),
                sprt.test.upperBound());
  return text;
}

}  // namespace

std::string statusLine(const MatchTally& tally, int totalGames, const SprtStatus& sprt) {
  char text[256];
  const EloEstimate elo = estimateElo(tally);
  std::snprintf(text, sizeof text, "Progress: %d of %d games%s; score %.1f (%.1f%%); Elo ",
                tally.games(), totalGames, sprt.enabled ? ", SPRT running" : "", tally.points(),
                100.0 * elo.score);
  std::string line = text + eloText(tally);
  if (sprt.enabled) line += "; " + llrText(sprt);
  return line;
}

std::vector<std::string> summaryLines(const std::string names[2], const MatchTally& tally,
                                      bool byPairs, const SprtStatus& sprt) {
  std::vector<std::string> lines;
  char text[256];
  lines.push_back("Engine 1: " + names[0]);
  lines.push_back("Engine 2: " + names[1]);
  std::snprintf(text, sizeof text, "Engine 1: %d wins, %d losses, %d draws in %d games", tally.wins,
                tally.losses, tally.draws, tally.games());
  lines.push_back(text);
  const EloEstimate elo = estimateElo(tally);
  std::snprintf(text, sizeof text, "Score of engine 1: %.1f of %d (%.1f%%)", tally.points(),
                tally.games(), 100.0 * elo.score);
  lines.push_back(text);
  lines.push_back("Elo difference: " + eloText(tally));
  if (tally.pairCount() == 0) {
    lines.push_back("Pentanomial counts: no complete game pair");
  } else {
    std::snprintf(text, sizeof text,
                  "Pentanomial counts (pairs scoring 0, 0.5, 1, 1.5, 2 points): "
                  "%d, %d, %d, %d, %d in %d pairs",
                  tally.pairs[0], tally.pairs[1], tally.pairs[2], tally.pairs[3], tally.pairs[4],
                  tally.pairCount());
    lines.push_back(text);
  }
  const OutcomeCounts outcomes = byPairs ? pairCounts(tally) : singleGameCounts(tally);
  if (outcomes.total() == 0) {
    lines.push_back(byPairs ? "LOS of engine 1: none (no game pair)"
                            : "LOS of engine 1: none (no games)");
  } else {
    std::snprintf(text, sizeof text, "LOS of engine 1: %.1f%% (from the %s)",
                  100.0 * likelihoodOfSuperiority(outcomes),
                  byPairs ? "game pairs" : "single games");
    lines.push_back(text);
  }
  if (sprt.enabled) {
    std::snprintf(text, sizeof text, "SPRT elo0=%g elo1=%g alpha=%g beta=%g: ", sprt.test.elo0,
                  sprt.test.elo1, sprt.test.alpha, sprt.test.beta);
    lines.push_back(text + llrText(sprt) + ", " + verdictText(sprt.verdict));
  }
  return lines;
}

}  // namespace arena
