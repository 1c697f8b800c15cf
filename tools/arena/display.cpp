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

std::vector<std::string> summaryLines(const std::string names[2], const MatchTally& tally) {
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
  if (tally.games() == 0) {
    lines.push_back("Elo difference: none (no games)");
  } else if (!elo.eloFinite) {
    lines.push_back(elo.elo > 0 ? "Elo difference: +inf" : "Elo difference: -inf");
  } else if (!elo.marginFinite) {
    std::snprintf(text, sizeof text, "Elo difference: %+.1f +/- inf (95%%)", elo.elo);
    lines.push_back(text);
  } else {
    std::snprintf(text, sizeof text, "Elo difference: %+.1f +/- %.1f (95%%)", elo.elo, elo.margin);
    lines.push_back(text);
  }
  return lines;
}

}  // namespace arena
