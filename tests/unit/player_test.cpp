// The player between games: what a new game (RESTART, or START on the same
// size) does to it, against ending it (END destroys it, and its game memory
// writes its file) and a new player on the same folder, as the next process
// creates it.
#include "player/player.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "brain_driver.h"
#include "platform/random.h"
#include "search/brain.h"

namespace velm {
namespace {

using Ints = std::vector<int>;
using testing_support::fileExists;
using testing_support::readFile;

// A game the engine loses: it moves first, and after 10 stones the other
// side's open four (5..8,7) stands.
constexpr int kLost[][2] = {{0, 0}, {5, 7},   {0, 14}, {6, 7}, {14, 0},
                            {7, 7}, {14, 14}, {8, 7},  {7, 0}, {2, 12}};

void play(Velmaro_player& player, int stones) {
  for (int i = 0; i < stones; i++) {
    int x = kLost[i][0], y = kLost[i][1];
    if (i % 2 == 0) {
      player.move_my(x, y);
    } else {
      player.move_oppo(x, y);
    }
  }
}

// The player's record of the game and the engine's state that a new game
// starts afresh: colour, stones through the player, stones on the board,
// side to move, the time account, and whether the result tables are clear.
Ints gameState(const Velmaro_player& p) {
  const VelmBrain& e = *p.brain;
  int stones = 0;
  for (int s = 0; s < e.board().numSquares(); s++) stones += e.board().stoneSquares().contains(s);
  return {p.color,
          p.num_moves,
          e.board().moveCount(),
          stones,
          e.board().sideToMove(),
          e.worker.time.timeLeft,
          e.worker.time.movesToGo,
          e.tables.isClear()};
}

// Whether the memory finds the lost game's position after move 9 on a board
// where the first 8 moves are played (its key, and the winner, side 1).
bool knowsTheLoss(Velmaro_player& player) {
  play(player, 8);
  int value = -1;
  return player.brain->memo.checkMove(kLost[8][0], kLost[8][1], 0, value) && value == 1;
}

// A new game on the player (what RESTART does): the board, the time account
// and the tables start afresh, the colour and the count of stones are 0
// again, and the game memory keeps what it learned, unwritten, with a new
// record of the game. END destroys the player and its memory writes the
// file; a new player on the folder reads it, and writes it back unchanged.
TEST(Player, NewGameAgainstEndAndANewPlayer) {
  testing_support::TempFolder temp;
  const std::string folder = temp.path() + "/", file = folder + kMemoFileName;
  const GameLimits limits{3000, 60000, -1, 0};
  const Ints fresh{0, 0, 0, 0, 0, 60000, kInitialMovesToGo, true};
  platform::seedRandom(27);
  auto player = std::make_unique<Velmaro_player>(15, 15, limits, 24,
                                                 kOptionMemory | kOptionRichEval, folder.c_str());
  EXPECT_EQ(gameState(*player), fresh);
  play(*player, 10);
  EXPECT_EQ((Ints{player->color, player->num_moves}), (Ints{1, 10}));
  int x = -1, y = -1;
  player->think_move(x, y, -1, 3000, -1);
  EXPECT_EQ((Ints{x, y}), (Ints{9, 7}));  // a block; the other five square wins
  player->move_my(x, y);
  const VelmMemo& memo = player->brain->memo;
  const MemoEntry stored = memo.lostTable[0][0];
  EXPECT_TRUE(stored.key != 0 && stored.value == 1 && memo.fillIndex[0] == 1);
  const std::uint64_t memoKey = memo.memoKeys[1][7];

  // A new game.
  player->brain->worker.time.timeLeft = 17;
  player->newgame();
  EXPECT_EQ(gameState(*player), fresh);
  EXPECT_EQ((Ints{memo.loaded, memo.numMoves, memo.saved, memo.fillIndex[0]}), (Ints{1, 0, 0, 1}));
  EXPECT_TRUE(memo.lostTable[0][0].key == stored.key && memo.memoKeys[1][7] == memoKey);
  EXPECT_FALSE(fileExists(file));
  EXPECT_TRUE(knowsTheLoss(*player));
  // The other side's stone first: colour -1, whoever plays next.
  player->newgame();
  player->move_oppo(x, y);
  player->move_my(y, x);
  EXPECT_EQ((Ints{player->color, player->num_moves}), (Ints{-1, 2}));

  // END, and a new player.
  player.reset();
  const std::string written = readFile(file);
  EXPECT_EQ(written.size(), 358540u);
  player = std::make_unique<Velmaro_player>(15, 15, limits, 24, kOptionMemory | kOptionRichEval,
                                            folder.c_str());
  const VelmMemo& read = player->brain->memo;
  EXPECT_EQ(gameState(*player), fresh);
  EXPECT_TRUE(read.lostTable[0][0].key == stored.key && read.memoKeys[1][7] == memoKey);
  EXPECT_TRUE(knowsTheLoss(*player));
  player.reset();
  EXPECT_TRUE(readFile(file) == written);
}

}  // namespace
}  // namespace velm
