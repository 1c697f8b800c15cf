// The search, on the suite's engine.
#include <algorithm>
#include <climits>
#include <random>
#include <set>

#include "brain_driver.h"
#include "engine_suite.h"
#include "platform/random.h"

namespace velm {
namespace {

using Search = test::EngineSuite;
using test::FakeClock;
using Ints = std::vector<int>;

// Positions, as their moves in the order of play (side 0, X, first).
const char* kFoursAndASplitThree = "5,4 4,4 6,4 3,10 7,4 5,10 13,13 6,10";
const char* kUnrelatedOpenThrees = "0,0 3,3 7,0 4,3 14,0 5,3 0,7 9,11 14,7 10,11 0,14 11,11";
const char* kQuietMiddle = "7,7 6,6 7,8 8,7 9,9 9,8";

// Positions with their forced replies (winAndForced's list and verdict, genMoves' list and kind at
// any width), their plain value and the right decisions there. The replies to the opponent's
// unstoppable fours are own fours, then every square that defuses them all: a split three's open
// four square and completions, an open three's inner ends, a double four's square and completions.
// A single answer is played unsearched, its time not charged.
TEST_F(Search, PositionsAndTheirAnswers) {
  const int win = winScore;
  const std::tuple<const char*, const char*, int, int, const char*> cases[] = {
      {"", "", 0, 0, "7,7"},
      {"3,7 2,7 4,7 3,9 5,7 4,9 6,7 7,9", "7,7", win, win, "7,7"},        // a five in one
      {"3,7 3,9 4,7 4,9 5,7 5,9 6,7 6,9", "7,7", win, win, "7,7"},        // own five first
      {"0,0 3,9 14,0 4,9 0,14 5,9 14,14 6,9", "7,9", -win, -win, "7,9"},  // opponent's open four
      {"0,0 9,3 14,0 9,4 9,2 9,5 4,7 9,6 0,12 5,7 14,12 6,7 0,14 7,7 14,14 8,7", "9,7", -win, -win,
       "9,7"},                                                              // one square, two fives
      {"2,9 3,9 0,11 4,9 4,11 5,9 8,11 6,9", "7,9", 0, 542, "7,9"},         // the only block
      {"5,5 3,9 6,5 4,9 7,5 5,9 2,9 6,9", "7,9", 0, 4062, "7,9"},           // despite an open three
      {"5,3 2,9 6,3 6,9 7,3 9,9", "4,3", win, win, "4,3"},                  // own open three
      {"5,5 0,0 7,5 0,2 8,5 0,4", "6,5", win, win, "6,5"},                  // a split three
      {"5,3 5,9 6,3 6,9 7,3 7,9", "4,3", win, win, "4,3"},                  // both have open threes
      {kFoursAndASplitThree, "8,4 9,4 4,10 2,10 7,10", 0, -1606, nullptr},  // own fours first
      {kUnrelatedOpenThrees, "2,3", -win, -8642, "2,3"},                    // no common defence
      {"2,3 3,4 12,3 4,5 2,7 5,6 0,11 3,7 14,11 4,7 12,13 5,7", "6,7 7,7 7,8", 0, -5114, nullptr},
      {"0,0 3,3 7,0 4,3 14,0 5,3 5,7 4,7 6,7 9,11 7,7 10,11 14,7 11,11", "8,7 9,7", 0, -7306,
       nullptr},
      {"0,5 5,7 14,5 6,7 0,9 7,7 8,9 5,9", "4,7 8,7", 0, -5390, "4,7 8,7"},  // inner ends
      {"8,0 8,1 5,5 8,2 6,5 8,3 7,5 8,4", "8,5", 0, win, "8,5"},  // the block opens X's three
      // X leaves its five at (4,0) open, makes another that O blocks, and plays elsewhere: the
      // board's record names a stone (the position fuzzer found the engine answer a taken square).
      {"0,0 14,0 1,0 14,3 2,0 14,6 3,0 14,9 0,5 14,12 1,5 11,14 2,5 8,14 3,5 4,5 9,10", "4,0", 0,
       1280, "4,0"}};
  for (const auto& [moves, replies, verdict, value, decisions] : cases) {
    SCOPED_TRACE(moves);
    newGame(15);
    b().params.timeoutTurn = 300;
    play(moves);
    int list[kReplyListCapacity], score = 12345;
    std::fill(list, list + kReplyListCapacity, -7);
    const int n = w().winAndForced(list, score);
    EXPECT_EQ(Ints(list, list + n), squares(replies));
    EXPECT_EQ((Ints{list[n], score, w().boardValueBase()}), (Ints{-7, verdict, value}));
    EXPECT_TRUE(std::all_of(w().sqMark, w().sqMark + kMaxSquares, [](int m) { return m == 0; }));
    for (int width : {kFullWidth, 0}) {
      ListKind kind = ListKind::kScored;
      const int got = n > 0 ? w().genMoves(list, width, kind) : 0;
      EXPECT_EQ(Ints(list, list + got), squares(replies));
      EXPECT_TRUE(n == 0 || kind == (score == winScore    ? ListKind::kWin
                                     : score == -winScore ? ListKind::kLoss
                                                          : ListKind::kForced));
    }
    if (decisions == nullptr) continue;
    const int timeLeft = w().time.timeLeft;
    int x = -1, y = -1;
    b().thinkMove(x, y);
    EXPECT_EQ(std::ranges::count(squares(decisions), sq(x, y)), 1) << x << "," << y;
    EXPECT_TRUE(w().rootCount > 1 || w().time.timeLeft == timeLeft);
  }
  // Counts by hand: an open-three pair against a four pair, 242 - 400 plain, 2 * 242 - 480 forced.
  newGame(15);
  CountBlock& counts = BoardProbe::counts(board()) = CountBlock{};
  counts.patCount[0][patOpenThree] = counts.patCount[1][patFour] = 1;
  BoardProbe::key(board()) = 0x1234567890ULL;  // a key no cache slot holds
  EXPECT_EQ((Ints{w().boardValueBase(), w().boardValueRico()}), (Ints{-158, 4}));
}

// The opening rules on every board size from 5 to 20: the first stone in the middle, the second on
// a diagonal neighbour of it, the third (and with the radius option the second) on an empty square
// beside a stone, within 3 of the first in each coordinate; later moves not the rules'. From
// corners and edges every such square is answered. Sizes run down so that squares past a smaller
// board's edge hold what a larger one left; the histograms are the seeded generator's.
TEST_F(Search, OpeningWindowsOnEveryBoardSize) {
  using Square = std::pair<int, int>;
  Ints diagonal(4), dx(7), dy(7);
  auto on = [](int x, int y, int n) { return x >= 0 && y >= 0 && x < n && y < n; };
  auto stone = [&](int x, int y, int n) {
    return on(x, y, n) && board().square(sq(x, y)).stone != kCellEmpty;
  };
  auto check = [&](int n, bool edge) {
    const bool radius = board().moveCount() == 2 || (b().params.options & kOptionRadiusReply);
    const int x0 = board().sqX(board().moveAt(0)), y0 = board().sqY(board().moveAt(0));
    const int r = radius ? 3 : 1;
    std::set<Square> rule, got;
    for (int x = x0 - r; x <= x0 + r; x++)
      for (int y = y0 - r; y <= y0 + r; y++) {
        bool beside = false;
        for (int nx = x - 1; nx <= x + 1; nx++)
          for (int ny = y - 1; ny <= y + 1; ny++) beside |= stone(nx, ny, n);
        if (on(x, y, n) && !stone(x, y, n) && beside && (radius || (x != x0 && y != y0)))
          rule.insert({x, y});
      }
    for (int i = 0, tries = edge ? (radius ? 400 : 64) : 8; i < tries; i++) {
      int x = -1, y = -1;
      EXPECT_TRUE(w().openMove(x, y));
      got.insert({x, y});
      if (radius) {
        dx.at(x - x0 + 3)++;
        dy.at(y - y0 + 3)++;
      } else {
        diagonal.at((x - x0 + 1) + (y - y0 + 1) / 2)++;
      }
    }
    EXPECT_TRUE(edge ? got == rule
                     : std::includes(rule.begin(), rule.end(), got.begin(), got.end()))
        << x0 << "," << y0 << " radius " << radius;
  };
  platform::seedRandom(27);
  for (int n = 20; n >= 5; n--) {
    SCOPED_TRACE(n);
    newGame(n);
    int x = -1, y = -1;
    EXPECT_TRUE(w().openMove(x, y) && x == n / 2 && y == n / 2);
    for (int x0 = 0; x0 < n; x0++)
      for (int y0 = 0; y0 < n; y0++) {
        const bool edge = x0 % (n - 1) == 0 || y0 % (n - 1) == 0 || (x0 == 3 && y0 == 3);
        for (unsigned options : {kOptionRichEval, kOptionRichEval | kOptionRadiusReply}) {
          newGame(n, options);
          b().makeGameMove(x0, y0);
          check(n, edge);
        }
        for (const auto& [ox, oy] : {Square{1, 0}, Square{0, -2}, Square{3, 3}, Square{-4, 1},
                                     Square{5, -5}, Square{n - 1 - 2 * x0, n - 1 - 2 * y0}}) {
          if (!on(x0 + ox, y0 + oy, n) || stone(x0 + ox, y0 + oy, n)) continue;
          b().makeGameMove(x0 + ox, y0 + oy);
          check(n, edge);
          BoardProbe::writable(board()).undoMove();
        }
        for (int stones = 1; stones < 3; stones++) {
          EXPECT_TRUE(w().openMove(x, y));
          b().makeGameMove(x, y);
        }
        EXPECT_FALSE(w().openMove(x, y));
      }
  }
  EXPECT_EQ(diagonal, (Ints{16281, 16201, 16132, 16218}));
  EXPECT_EQ(dx, (Ints{49777, 381, 434688, 387935, 455135, 115372, 17304}));
  EXPECT_EQ(dy, (Ints{57315, 35051, 458441, 379361, 464346, 48828, 17250}));
}

// What the engine sees along the edges (the lowest and highest square indices) is the same in all
// 8 images of the board after every move: each four's block, the forced replies' verdict and a lone
// five's block, both values, and in the positions by hand where no reply wins, the time checks of
// the forced-line evaluation (elsewhere the order of replies may differ between images). On fours
// blocked on a corner, then on seeded random games in a corner of every size from 5 to 20.
TEST_F(Search, ForcedLinesThroughTheCornersInEveryImage) {
  int n = 0, k = 0;
  // Square s of the first image in image k: k % 4 quarter turns, after a mirror from k = 4 on.
  auto image = [&](int s) {
    int x = k >= 4 ? n - 1 - s / n : s / n, y = s % n;
    for (int r = 0; r < k % 4; r++) std::tie(x, y) = std::pair{n - 1 - y, x};
    return sq(x, y);
  };
  auto look = [&](bool timed) {
    Ints seen(n * n + 5, -1), toFirst(n * n);
    for (int s = 0; s < n * n; s++) toFirst[image(s)] = s;
    for (int s = 0; s < n * n; s++) {
      const int block =
          board().square(image(s)).stone == kCellEmpty ? board().soleFiveAfter(image(s)) : -2;
      seen[s] = block >= 0 ? toFirst[block] : block;
    }
    int list[kReplyListCapacity];
    w().winAndForced(list, seen[n * n]);
    if (board().counts().patCount[board().sideOther()][patFive] == 1 &&
        board().counts().patCount[board().sideToMove()][patFive] == 0)
      seen[n * n + 1] = toFirst[list[0]];
    seen[n * n + 2] = w().boardValueBase();
    if (timed) b().tables.clear();  // its time checks on cold tables
    b().params.nodeLimit = 1ull << 60;
    b().params.clock = FakeClock::read;
    w().time.startTime();
    w().searching = true;
    w().stopSearch = false;
    seen[n * n + 3] = w().boardValueRico();
    w().searching = false;
    b().params.nodeLimit = 0;
    seen[n * n + 4] = timed && seen[n * n + 3] != winScore ? w().time.nodeBudgetUsed : 0;
    return seen;
  };
  // A game of the first image played in every image; what it sees after each move there.
  std::vector<Ints> first;
  auto inEveryImage = [&](const Ints& game, bool timed) {
    first.clear();
    for (k = 0; k < kMemoSymmetries; k++) {
      newGame(n);
      for (std::size_t i = 0; i < game.size(); i++) {
        b().makeGameMove(board().sqX(image(game[i])), board().sqY(image(game[i])));
        const Ints now = look(timed);
        if (k == 0) first.push_back(now);
        ASSERT_EQ(now, first[i]) << "image " << k << " after " << i + 1 << " moves";
      }
    }
  };
  b().tables.setTableBits(kMinTableBits);  // every image is a new game
  // Board side, moves, a four of the side to move and its block ("": none), whether a reply wins.
  const char* wonThroughTheCorner =  // a four at (0,4) blocked at (0,0), then a double four
      "0,1 0,5 0,2 3,5 0,3 10,10 1,4 11,10 2,4 12,10 3,1 13,2 3,2 7,14 3,3 14,7";
  const std::tuple<int, const char*, const char*, const char*, bool> positions[] = {
      {15, wonThroughTheCorner, "0,4", "0,0", true},
      {20, wonThroughTheCorner, "0,0", "0,4", true},
      {15, "0,1 10,10 0,2 11,10 0,3 0,5 6,13 12,10", "0,4", "0,0", false},
      {15, "1,1 10,10 2,2 11,10 3,3 5,5 6,13 12,10", "4,4", "0,0", false},
      {7, "0,1 3,3 0,2 4,3 0,3 0,5 6,6 2,3", "0,4", "0,0", false},
      // Two fours at once, the first in direction order blocked at (0,0).
      {15, "1,0 5,0 2,0 10,10 3,0 11,12 4,1 13,9 4,2 9,14 4,3 12,5", "4,0", "", true},
      // X's double four leaves fives at (0,0) and (4,4); O blocks the second, then the block of
      // X's next four takes the first place in X's record: it names a stone, not (0,0).
      {15,
       "1,0 5,0 2,0 5,7 3,0 14,14 4,1 14,11 4,2 14,8 4,3 11,14 1,7 8,14 2,7 14,5 3,7 14,2 4,0 4,4 "
       "4,7 0,7 9,9",
       "", "", false}};
  for (const auto& [side, moves, four, block, won] : positions) {
    SCOPED_TRACE(moves);
    n = side;
    newGame(n);
    inEveryImage(squares(moves), true);
    EXPECT_EQ(first.back()[n * n + 3] == winScore, won);
    for (int f : squares(four)) EXPECT_EQ(first.back()[f], *block ? squares(block)[0] : -1);
  }
  int edges = 0;  // fours blocked on the first row or column
  for (n = 5; n <= kMaxSide; n++) {
    SCOPED_TRACE(n);
    std::mt19937 rng(n);
    const int reach = std::min(n, 6);
    Ints game;
    newGame(n);
    while (game.size() < 24) {
      // Half the stones on the three lines through the corner square 0.
      const int along = static_cast<int>(rng() % reach), line = static_cast<int>(rng() % 6);
      const int s = line == 0   ? sq(0, along)
                    : line == 1 ? sq(along, 0)
                    : line == 2 ? sq(along, along)
                                : sq(static_cast<int>(rng() % reach), along);
      if (board().square(s).stone != kCellEmpty) continue;
      b().makeGameMove(s / n, s % n);
      if (b().checkWin()) break;
      game.push_back(s);
    }
    inEveryImage(game, false);
    for (const Ints& after : first)
      for (int i = 0; i < n * n; i++) edges += after[i] >= 0 && (after[i] < n || after[i] % n == 0);
  }
  EXPECT_GT(edges, 40);
  b().tables.setTableBits(kDefaultTableBits);
}

// A fingerprint of the search: fixed-depth decisions (move, nodes, score) on the bench's positions
// on a clock that stands still, a won or lost endgame ending the deepening; and decisions held to a
// work budget whatever the clock says: within it, and with one not reached the same as without.
TEST_F(Search, FixedDepthFingerprint) {
  const char* middle = "7,7 8,8 8,9 7,10 6,7 6,10 7,9 6,9 7,8 9,10 8,10 5,7";
  const char* attack = "7,7 8,8 9,8 10,7 8,6 10,6 9,7 9,5 10,8 7,5 9,9 9,10";
  const std::string defence = std::string(middle) +
                              " 8,11 9,11 9,9 6,12 6,11 8,12 8,6 7,5 9,5 10,4 11,7 10,8 9,7 9,8 "
                              "10,7 8,7 9,6 8,4 6,6 7,6";
  const std::string lost = defence +
                           " 6,5 10,9 11,10 11,8 12,8 12,7 13,6 6,4 5,6 4,5 7,4 8,3 10,6 13,9 11,6 "
                           "12,6 11,5 8,5 12,4 13,3 11,3 11,4 5,9 6,8 13,5 10,2 12,5 10,5 13,4 "
                           "14,3 13,8 13,7 4,7 3,8 10,3 9,3 11,1 5,3 8,1 3,5";
  const std::string won = std::string(attack) +
                          " 10,9 11,9 8,7 7,6 11,7 8,10 11,10 12,11 8,5 8,4 9,3 5,7 12,6 13,5 "
                          "11,5 10,4 11,4 11,6 10,5 7,8 12,3 9,6 4,8 7,4 7,3 5,6 13,2 14,1 6,4 "
                          "4,6 8,9 6,5 7,9 6,9 4,7";
  const char* square = "6,6 8,6 8,8 6,8";
  // Board side, depth, work budget (0: none), moves, answer; the last row grows the depth by a
  // fixed step, as the clock never says to stop.
  constexpr unsigned r = kOptionRichEval;
  const std::tuple<int, int, std::uint64_t, std::string, std::string, unsigned> cases[] = {
      {20, 6, 0, "10,10 9,9 9,8 10,7", "11,9 33874 2124", r},
      {15, 4, 0, attack, "10,9 1307 2850", r},
      {20, 4, 0, "10,10 9,9 9,8 10,7 11,9 11,7 10,8 9,7 8,7 11,8 10,9 11,10", "8,8 2079 5086", r},
      {15, 4, 0, middle, "8,11 2499 4020", r},
      {15, 6, 0, defence, "6,5 748 4638", r},
      {15, 6, 0, lost, "12,1 905 -99999999", r},
      {15, 6, 0, won, "9,2 8 99999999", r},
      {15, 4, 0, square, "7,7 627 2830", r},
      {15, 4, 1000000000000, square, "7,7 627 2830", r},  // a budget it does not reach: as without
      {15, 24, 700, square, "7,7 566 2830", r},           // held to the budget whatever the depth
      {15, 4, 0, square, "7,7 627 2830", r | kOptionFixedGrowth}};
  for (const auto& [size, depth, budget, moves, answer, options] : cases) {
    platform::seedRandom(1);
    newGame(size, options);
    b().params.timeoutTurn = b().params.timeoutMatch = 2000000000;
    b().params.maxDepth = depth;
    b().params.nodeLimit = budget;
    b().params.clock = FakeClock::read;
    play(moves.c_str());
    const std::uint64_t before = b().nodes();
    int x = -1, y = -1;
    b().thinkMove(x, y);
    int score = 0;
    for (int i = 0; i < w().rootCount; i++)
      if (w().rootMoves[i].move == sq(x, y)) score = w().rootMoves[i].score;
    char got[64];
    std::snprintf(got, sizeof got, "%d,%d %d %d", x, y, static_cast<int>(b().nodes() - before),
                  score);
    EXPECT_EQ(got, answer) << moves;
  }
}

// The time account on a clock set by hand.
TEST_F(Search, TimeAccount) {
  TimeAccount& t = w().time;
  b().params.clock = FakeClock::read;
  FakeClock::now = 700;
  b().params.timeoutTurn = 5000;
  t.startTime();
  EXPECT_EQ((Ints{t.softLimit, t.hardLimit, t.moveStart}), (Ints{5000, 5000, 700}));
  // The hard limit, less the margin, at the clock readings: one per 1000 checks.
  t.checkCountdown = 1;
  FakeClock::now = 700 + 4949;
  EXPECT_FALSE(t.timeOver());
  FakeClock::now = 700 + 4950;
  const int reads = FakeClock::reads;
  for (int i = 0; i < 999; i++) ASSERT_FALSE(t.timeOver()) << i;
  EXPECT_TRUE(FakeClock::reads == reads && t.timeOver());
  // The soft limit spreads the time left over the moves to go (at least 5), the hard limit is a
  // fifth of it, neither more than the turn time.
  b().params.timeoutTurn = 30000;
  Ints limits;
  for (int move = 0; move < 12; move++, FakeClock::now += t.softLimit, t.stopTime()) {
    t.startTime();
    limits.insert(limits.end(), {t.softLimit, t.hardLimit});
  }
  EXPECT_EQ(limits, (Ints{12000, 30000, 12000, 30000, 12000, 30000, 12000, 28800,
                          12000, 26400, 12000, 24000, 12000, 21600, 12000, 19200,
                          12000, 16800, 12000, 14400, 12000, 12000, 9600,  9600}));
  // The manager's clock counts when it says less; the move starts when its request arrived.
  b().params.managerTimeLeft = 10000;
  b().params.requestStart = FakeClock::now - 300;
  t.startTime();
  b().params.requestStart = b().params.managerTimeLeft = -1;
  EXPECT_EQ((Ints{t.softLimit, t.hardLimit, t.elapsedTime()}), (Ints{2000, 2000, 300}));
  // Another iteration only when the last one, 40 times over, still fits.
  t.iterStart = FakeClock::now - 42;
  EXPECT_EQ((Ints{t.timeOut(40), t.elapsedIte()}), (Ints{false, 0}));
  t.iterStart = FakeClock::now - 43;
  EXPECT_TRUE(t.timeOut(40));
  // A new game has the whole match time; an overspent account stops at once, and the most negative
  // match time stays the least there is (it once wrapped to a full clock).
  b().init(15, 15);
  EXPECT_EQ((Ints{t.timeLeft, t.movesToGo}), (Ints{kDefaultTimeoutMatch, kInitialMovesToGo}));
  t.timeLeft = INT_MIN;
  t.startTime();
  t.checkCountdown = 1;
  EXPECT_TRUE(t.timeOver() && t.timeOut(0));
  for (int move = 0; move < 2; move++, FakeClock::now += 7, t.stopTime()) t.startTime();
  EXPECT_EQ(t.timeLeft, INT_MIN);
}

// Decisions with no match time: stopped at the first node, the list's first move; at the first
// usual check, a legal move. Faults found: a node whose child the time limit cut off stored the
// child's meaningless score as a bound later searches trusted; a forced-line evaluation in a
// decision did not yield to the time limit (it can branch into millions of positions).
TEST_F(Search, StoppedDecisionsAndSearchesStoreNothing) {
  b().params.timeoutMatch = 0;
  b().init(15, 15);
  play(kQuietMiddle);
  int list[kReplyListCapacity], x = -1, y = -1;
  ListKind kind;
  w().genMoves(list, kFullWidth, kind);
  w().time.checkCountdown = 1;
  const std::uint64_t nodes = b().nodes();
  b().thinkMove(x, y);
  EXPECT_TRUE(sq(x, y) == list[0] && b().nodes() == nodes + 1 && w().stopSearch);
  b().thinkMove(x, y);
  EXPECT_TRUE(board().isCandidate(sq(x, y)) && w().time.timeLeft <= 0 && b().nodes() > nodes + 9);
  w().time.startTime();
  w().stopSearch = false;
  b().params.nodeLimit = 2;  // the node goes on; its first child stops
  w().alphaBetaPVS(4, 4, -100, 100);
  TTData stored;
  EXPECT_TRUE(w().stopSearch && !b().tables.retriveTT(board().key(), stored));
  newGame(15);
  play(kFoursAndASplitThree);  // five forced replies to follow
  w().time.startTime();
  b().params.nodeLimit = 1;
  w().searching = true;
  w().stopSearch = false;
  EXPECT_EQ(w().boardValueRico(), w().quietValue());
  w().searching = false;
  EXPECT_TRUE(w().stopSearch && b().tables.retriveTT0(board().key()) == NO_SCORE);
  b().params.nodeLimit = 0;
  EXPECT_TRUE(w().boardValueRico() != NO_SCORE && b().tables.retriveTT0(board().key()) != NO_SCORE);
}

// Self-play on boards large and small, with every option and the game memory, to a five or a full
// board; and on three threads whatever the machine has, 24 moves from the middle, a quarter random:
// the helpers did search. Each decision is an empty square, a candidate once a stone is down; an
// own five is played, an opponent's lone five blocked; the board is left as it was.
TEST_F(Search, SelfPlay) {
  const char* noFive =  // no line of this 5x5 board can hold five of one colour
      "0,0 2,0 1,0 3,0 4,0 0,1 2,1 1,1 3,1 4,1 0,2 3,2 1,2 0,3 4,2 1,3 2,3 4,3 3,3 2,4 1,4 3,4";
  constexpr unsigned r = kOptionRichEval, t = kOptionThreatsOnly, m = kOptionMemory | r,
                     g = kOptionFixedGrowth | kOptionRadiusReply | t;
  const std::tuple<int, unsigned, const char*, int> games[] = {
      {15, r, "", 1},    {20, r, "", 1},      {7, r, "", 1},     {5, r, "", 1},
      {15, 0, "", 1},    {15, g, "", 1},      {7, r | t, "", 1}, {15, m, "", 1},
      {15, m, "", 1},    {5, r, noFive, 1},   {15, r, "7,7", 3}, {20, r, "10,10", 3},
      {15, r, "7,7", 3}, {20, r, "10,10", 3}, {15, r, "7,7", 3}, {20, r, "10,10", 3}};
  testing_support::TempFolder temp;
  std::snprintf(b().dataPath, sizeof b().dataPath, "%s/", temp.path().c_str());
  const std::uint64_t helperNodes = b().threads.nodes();
  std::mt19937 rng(5);
  std::uint32_t seed = 0;
  for (const auto& [size, options, start, threads] : games) {
    SCOPED_TRACE(++seed);
    platform::seedRandom(seed);
    b().setThreads(threads);
    ASSERT_EQ(b().threadCount(), threads);
    newGame(size, options);
    b().params.timeoutTurn = threads > 1 ? 30 : 50;
    play(start);
    for (int move = 0; board().moveCount() < board().numSquares() && (threads == 1 || move < 24);
         move++) {
      const int x = board().sideToMove(), y = board().sideOther(), count = board().moveCount();
      const bool five = board().counts().patCount[x][patFive] > 0;
      const bool block = !five && board().counts().patCount[y][patFive] == 1;
      const std::uint64_t key = board().key();
      int mx = -1, my = -1;
      if (threads > 1 && rng() % 4 == 0) {
        const Ints list = candidates();
        const int s = list[rng() % list.size()];
        mx = board().sqX(s);
        my = board().sqY(s);
      } else {
        b().thinkMove(mx, my);
        ASSERT_TRUE(mx >= 0 && my >= 0 && mx < size && my < size) << mx << "," << my;
        const int s = sq(mx, my);
        ASSERT_TRUE(count == 0 || board().isCandidate(s)) << mx << "," << my;
        ASSERT_TRUE(board().key() == key && board().moveCount() == count && consistent());
        ASSERT_TRUE(!five || w().isFiveSquare(s, x)) << "a five missed";
        ASSERT_TRUE(!block || w().isFiveSquare(s, y)) << "a five not blocked";
      }
      b().makeGameMove(mx, my);
      if (b().checkWin()) break;
    }
    EXPECT_TRUE(start != noFive || (board().moveCount() == 25 && !b().checkWin()));
  }
  EXPECT_GT(b().threads.nodes(), helperNodes);
  b().setThreads(1);
  EXPECT_TRUE(b().threadCount() == 1 && w().helpers == nullptr);
  b().memo.loaded = 0;  // its folder goes: nothing to write at the end
}

// A helper's result travels whole in one word.
TEST(HelperResults, TravelWholeInOneWord) {
  for (const HelperResult r :
       {HelperResult{24, 399, -winScore}, HelperResult{1, -1, winScore}, HelperResult{0, 0, 0},
        HelperResult{7, 12, -1234}, HelperResult{2, -1, 2}}) {
    const HelperResult back = SearchThreads::unpack(SearchThreads::pack(r));
    EXPECT_EQ((Ints{back.depth, back.move, back.score}), (Ints{r.depth, r.move, r.score}));
  }
}

}  // namespace
}  // namespace velm
