// The board, and the result tables.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <thread>
#include <tuple>

#include "board/pattern_classifier.h"
#include "engine_suite.h"
#include "player/player.h"

namespace velm {
namespace {

using Ints = std::vector<int>;

// The board of the suite's engine, made and undone directly: b() is the board.
class Board : public test::EngineSuite {
 protected:
  VelmBoard& b() { return BoardProbe::writable(board()); }
};

// Fingerprints of the pattern tables: the codes of every line key for both sides, the cross codes
// and values of every quadruple of direction codes. A key's codes stay when the colours are
// exchanged or the line reversed; its completion offsets are the empty cells that make five (one
// for a four, two ascending for an open four, none otherwise).
TEST_F(Board, PatternTables) {
  const PatternTables& t = b().patterns();
  Ints codes(kPatternCodes), crossCodes(kCrossCodes);
  for (int key = 0; key < kLineKeys; key++) {
    int line[kLineCells], swapped[kLineCells], reversed[kLineCells];
    lineFromKey(key, 0, line);
    for (int i = 0; i < kLineCells; i++) {
      swapped[i] = line[i] < 2 ? 1 - line[i] : line[i];
      reversed[i] = line[kLineCells - 1 - i];
    }
    for (int side = 0; side < 2; side++) {
      const int code = t.linePattern[key][side];
      const int* slots = t.lineDefence[key][side];
      codes.at(code)++;
      ASSERT_EQ(code, t.linePattern[lineKey(swapped)][1 - side]) << key;
      ASSERT_EQ(code, t.linePattern[lineKey(reversed)][side]) << key;
      Ints recorded, fives;  // the table's offsets; those of the empty cells that make five
      for (int k = 0; k < 2 && slots[k] != 0; k++) recorded.push_back(slots[k]);
      ASSERT_EQ(recorded.size(), code == patOpenFour ? 2u : code == patFour ? 1u : 0u) << key;
      if (code == patFive) continue;
      lineFromKey(key, side, line);
      for (int c = 0; c < kLineCells; c++) {
        if (c == kCentreCell || line[c] != kCellEmpty) continue;
        line[c] = side;
        if (findPatternLine(line, side, nullptr) == patFive) fives.push_back(c - kCentreCell);
        line[c] = kCellEmpty;
      }
      ASSERT_EQ(recorded, fives) << key;
    }
  }
  EXPECT_EQ(codes, (Ints{107634, 4270, 800, 166, 7780, 1164, 156, 6428, 626, 2048}));
  for (int i = 0; i < kCrossEntries; i++) crossCodes.at(t.crossCode[i])++;
  EXPECT_EQ(crossCodes, (Ints{6517, 323, 676, 417, 676, 868, 523}));
  EXPECT_EQ(std::accumulate(t.crossValue, t.crossValue + kCrossEntries, 0LL), 22904488);
}

// Everything make/undo keep of a position, for exact comparisons.
std::vector<long long> state(const VelmBoard& b) {
  std::vector<long long> v = {static_cast<long long>(b.key()), b.moveCount(), b.sideToMove(),
                              b.sideOther()};
  const int* counts = &b.counts().patCount[0][0];
  v.insert(v.end(), counts, counts + sizeof(CountBlock) / sizeof(int));
  for (int s = 0; s < b.numSquares(); s++) {
    const BoardSquare& q = b.square(s);
    v.insert(v.end(), {q.stone, b.isCandidate(s), q.key[0], q.key[1], q.key[2], q.key[3]});
    v.insert(v.end(), q.codes, q.codes + kDirections);
  }
  return v;
}

// Random walks of makes and undos on boards of several shapes: each make passes the board's check,
// each undo restores the state exactly. Before each make the fours of both sides and a few other
// candidates are tried: countsAfter foretells makeMove's counts; a move soleFiveAfter names leaves
// the mover that one five square and the opponent none, and from no five every such move is named.
// The walks reach fives of both sides. A side over 20 is refused.
TEST_F(Board, RandomWalksUndoExactlyPassTheCheckAndAreForetold) {
  const int shapes[][3] = {{15, 15, 1}, {20, 20, 2}, {10, 15, 3}, {7, 7, 4},
                           {5, 9, 5},   {6, 6, 6},   {15, 15, 7}, {20, 20, 8}};
  constexpr int kOthers = 4;  // candidates tried per position besides the fours
  Ints named(2);              // moves named, and moves not named that made fives
  int fives = 0;
  for (const auto& [width, height, seed] : shapes) {
    std::mt19937 rng(seed);
    newGame(width, kOptionRichEval, height);
    b().makeMove(static_cast<int>(rng() % b().numSquares()));  // never taken back
    std::vector<std::vector<long long>> at(kMaxSquares + 1);
    at[1] = state(b());
    for (int step = 0; step < 800 && b().moveCount() < b().numSquares(); step++) {
      if (b().moveCount() > 1 && rng() % 10 < 3) {
        b().undoMove();
        ASSERT_EQ(state(b()), at[b().moveCount()]) << "undo to " << b().moveCount() << " moves";
        continue;
      }
      const int x = b().sideToMove(), y = b().sideOther();
      const int fivesBefore = b().counts().patCount[x][patFive];
      const Ints list = candidates();
      for (int s : list) {
        const bool four = b().fourSquares(0).contains(s) || b().fourSquares(1).contains(s);
        if (!four && static_cast<int>(rng() % list.size()) >= kOthers) continue;
        const int block = b().soleFiveAfter(s);
        CountBlock after;
        b().countsAfter(s, after);
        b().makeMove(s);
        const CountBlock& c = b().counts();
        const bool sole = c.patCount[x][patFive] == 1 && c.patCount[y][patFive] == 0;
        ASSERT_TRUE(std::memcmp(&after, &c, offsetof(CountBlock, fiveSq)) == 0 &&
                    (block >= 0 ? sole && c.fiveSq[x][0] == block : !sole || fivesBefore > 0))
            << "square " << s << " after " << b().moveCount() - 1 << " moves";
        named[block >= 0 ? 0 : 1] += block >= 0 || c.patCount[x][patFive] > 0;
        b().undoMove();
      }
      b().makeMove(list.at(rng() % list.size()));
      at[b().moveCount()] = state(b());
      ASSERT_TRUE(consistent()) << "after move " << b().moveCount();
      fives += b().counts().patCount[0][patFive] > 0 && b().counts().patCount[1][patFive] > 0;
    }
  }
  EXPECT_TRUE(fives > 0 && named[0] > 200 && named[1] > 1000)
      << fives << " " << named[0] << " " << named[1];
  for (const auto& [w, h] : {std::pair{21, 15}, std::pair{15, 21}})
    EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), engine->init(w, h)),
                testing::ExitedWithCode(0), "Error: Size");
}

// A move can leave its side more five squares than the record's two: it takes the first two in slot
// order (direction 0 first, in each +1..+4, then -1..-4) and writes nothing past them; the other
// side's record stays, but a square the move took passes its place to the second. The count has
// every (square, direction) pair, the check passes, and undo restores the state exactly.
TEST_F(Board, MoreFiveSquaresThanTheRecordHolds) {
  // Stones, the move, the mover's record and five pairs after, the other's record (nullptr: kept).
  const std::tuple<const char*, const char*, const char*, int, const char*> cases[] = {
      {"5,7 0,0 6,7 0,2 8,7 0,4 7,5 14,0 7,6 14,2 7,8 14,4", "7,7", "9,7 4,7", 4, nullptr},
      {"5,7 0,0 6,7 0,3 8,7 0,6 7,5 0,9 7,6 0,12 7,8 3,14 5,5 6,14 6,6 9,14 8,8 12,14 5,9 14,11 "
       "6,8 14,8 8,6 14,5",
       "7,7", "9,7 4,7", 8, nullptr},
      // Side 1 (O): an open four and a four, three squares.
      {"0,0 5,7 0,2 6,7 0,4 8,7 7,8 7,4 14,0 7,5 14,2 7,6 14,4", "7,7", "9,7 4,7", 3, nullptr},
      // O takes X's first five square (9,7) with two open fours: X's record keeps (4,7) twice.
      {"5,7 10,6 6,7 11,5 0,0 9,8 0,3 9,9 8,7 12,4 0,6 9,10 7,7", "9,7", "9,11 9,6", 4, "4,7 4,7"},
      // Exactly two: both kept.
      {"5,7 0,0 6,7 0,2 8,7 0,4", "7,7", "9,7 4,7", 2, nullptr}};
  for (const auto& [moves, move, record, pairs, otherRecord] : cases) {
    SCOPED_TRACE(std::string(moves) + " then " + move);
    newGame(15);
    play(moves);
    const int mover = b().sideToMove(), other = b().sideOther();
    const std::vector<long long> before = state(b());
    const Ints otherBefore(b().counts().fiveSq[other], b().counts().fiveSq[other] + 2);
    b().makeMove(squares(move)[0]);
    const CountBlock& c = b().counts();
    EXPECT_EQ(Ints(c.fiveSq[mover], c.fiveSq[mover] + 2), squares(record));
    EXPECT_EQ(c.patCount[mover][patFive], pairs);
    EXPECT_EQ(Ints(c.fiveSq[other], c.fiveSq[other] + 2),
              otherRecord ? squares(otherRecord) : otherBefore);
    EXPECT_TRUE(consistent());
    b().undoMove();
    EXPECT_EQ(state(b()), before);
  }
}

// The diagnostics, byte for byte: the stones with their coordinates, the moves 1-based, both sides'
// pattern and cross counts, and a line key's cells around its square ('#' off the board).
TEST_F(Board, DiagnosticsPrintTheBoardByteForByte) {
  newGame(7);
  play("3,3 2,2 4,3 0,6 5,3 6,0");
  ::testing::internal::CaptureStdout();
  b().plotBoard();
  b().printMoveSeq(squares("3,3 6,0 0,6").data(), 3);
  std::printf("\n");
  b().printInve();
  for (int d = 0; d < kDirections; d++) b().printKey(b().square(sq(6, 0)).key[d]);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "     0  1  2  3  4  5  6\n"
            " 0   .  .  .  .  .  .  x\n"
            " 1   .  .  .  .  .  .  .\n"
            " 2   .  .  x  .  .  .  .\n"
            " 3   .  .  .  o  o  o  .\n"
            " 4   .  .  .  .  .  .  .\n"
            " 5   .  .  .  .  .  .  .\n"
            " 6   x  .  .  .  .  .  .\n"
            "[4,4][7,1][1,7]\n"
            "o: [22, 12, 6, 1, 0, 0, 2, 1, 0, ] \t[0, 0, 0, 0, 0, 0, ]\t"
            "x: [24, 4, 4, 0, 0, 0, 0, 0, 0, ] \t[0, 0, 0, 0, 0, 0, ]\n"
            " . . . . . # # # #  # # # # . . . . .  # # # # . # # # #  . o . . . # # # # ");
}

// The board's own check notices each kind of drift between what make/undo keep and the stones (and
// the squares an undo record would put back), on the first and last rows and columns too, and
// accepts the candidate mark that undoing a move far from the stones leaves behind.
TEST_F(Board, TheCheckNoticesEveryDrift) {
  play("7,7 8,8 6,8 0,0 14,14");
  using P = BoardProbe;
  const std::pair<void (*)(VelmBoard&), const char*> drifts[] = {
      {[](VelmBoard& e) { P::square(e, e.sqIndex(9, 9)).key[2] ^= 1; }, "key of (9,9) dir 2"},
      {[](VelmBoard& e) { P::square(e, e.sqIndex(9, 9)).codes[2] ^= 1 << kLineCodeBits; },
       "code of (9,9) dir 2 side 1"},
      {[](VelmBoard& e) { P::counts(e).patCount[0][patOpenTwo] ^= 1; }, "patCount[0][3]"},
      {[](VelmBoard& e) { P::counts(e).crossCount[1][0] ^= 1; }, "crossCount[1][0]"},
      {[](VelmBoard& e) { P::candSquares(e).flip(e.sqIndex(0, 0)); }, "stone on (0,0)"},
      {[](VelmBoard& e) { P::candSquares(e).flip(e.sqIndex(14, 14)); }, "stone on (14,14)"},
      {[](VelmBoard& e) { P::candSquares(e).flip(e.sqIndex(2, 0)); }, "(2,0) is near a stone"},
      {[](VelmBoard& e) { P::key(e) ^= 1; }, "position key"},
      {[](VelmBoard& e) { P::sideToMove(e) ^= 1; }, "sides"},
      {[](VelmBoard& e) { P::record(e, 1).lines[2].square ^= 1; }, "move 1: the saved line states"},
      {[](VelmBoard& e) { P::record(e, 1).lineCount ^= 1; }, "move 1: the saved line states"}};
  for (const auto& [drift, reason] : drifts) {
    drift(b());
    const std::string why = consistent().message();
    EXPECT_NE(why.find(reason), std::string::npos) << why;
    drift(b());
    EXPECT_TRUE(consistent());
  }
  play("0,14");
  b().undoMove();
  EXPECT_TRUE(b().isCandidate(sq(0, 14)) && consistent());
}

// The result tables: allocated by the first game (fresh zeroed pages), cleared by a game only after
// a store, allocated anew after a new size, sized to a memory limit; a slot whose two words come
// from different stores reads as a miss. Huge pages only when the first move has room for the
// stalls of mapping them: a hard limit of 5 s or more (the turn time, a fifth of the match time,
// or of the manager's time left when less, 0 included).
TEST(Tables, ClearedOnlyWhenNeededSizedToTheLimitHugeForLongFirstMoves) {
  VelmHash tables;
  tables.clear();
  EXPECT_TRUE(tables.isClear() && tables.mask() == (1u << kDefaultTableBits) - 1);
  const TTEntry* first = &tables.ttSlot(0);
  // One block, aligned to a cache line: the plain values follow the results.
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % kCacheLine, 0u);
  EXPECT_EQ(reinterpret_cast<const char*>(&tables.tt0Slot(0)),
            reinterpret_cast<const char*>(first + tables.mask() + 1));
  tables.storeTT(7, 3, 3, 7, BOUND_LOWER, 12);
  EXPECT_FALSE(tables.isClear());
  // As if left by anything.
  std::memset(const_cast<TTEntry*>(&tables.ttSlot(tables.mask())), 0xA5, sizeof(TTEntry));
  std::memset(const_cast<TT0Entry*>(&tables.tt0Slot(0)), 0x5A, sizeof(TT0Entry));
  tables.setTableBits(kDefaultTableBits);
  tables.clear();
  EXPECT_TRUE(&tables.ttSlot(0) == first && tables.isClear());
  EXPECT_EQ(tables.ttSlot(tables.mask()).check + tables.ttSlot(7).data + tables.tt0Slot(0).check,
            0u);
  tables.storeTT0(5, 5);
  tables.setTableBits(kMinTableBits);
  tables.clear();
  EXPECT_TRUE(tables.isClear() && tables.mask() == (1u << kMinTableBits) - 1);
  const std::uint64_t a = 0x1000, c = 0x2000;  // one slot
  tables.storeTT(a, 6, 6, 77, BOUND_EXACT, 40);
  const TTEntry ofA = tables.ttSlot(a & tables.mask());
  tables.storeTT(c, 4, 4, -5, BOUND_LOWER, 41);
  TTData got;
  EXPECT_TRUE(tables.retriveTT(c, got) && got.value == -5 && got.move == 41 &&
              !tables.retriveTT(a, got));
  const_cast<TTEntry&>(tables.ttSlot(a & tables.mask())).data = ofA.data;  // c's check
  EXPECT_FALSE(tables.retriveTT(a, got) || tables.retriveTT(c, got));
  tables.storeTT0(a, -3);
  const_cast<TT0Entry&>(tables.tt0Slot(a & tables.mask())).check ^= 1;
  EXPECT_EQ(tables.retriveTT0(a), NO_SCORE);
  // Search threads: at least one, at most the processor's and 64, only as many as the memory left
  // beside the tables holds (a worker and a megabyte of stack each); tables leave room for them.
  const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const long long engine = static_cast<long long>(sizeof(VelmBrain)) + (10LL << 20) +
                           static_cast<long long>(tableBytes(20));
  const long long helper = static_cast<long long>(sizeof(SearchWorker)) + (1LL << 20);
  // Memory limit, threads, table bits, whether they fit.
  const std::tuple<long long, int, int, bool> limits[] = {
      {0, 1, kDefaultTableBits, true},   {350LL << 20, 1, kDefaultTableBits, true},
      {100000000, 1, 21, true},          {50000000, 1, 20, true},
      {1000, 1, kMinTableBits, false},   {engine + helper, 2, 20, true},
      {engine + helper - 1, 2, 19, true}};
  for (const auto& [limit, threads, bits, fits] : limits) {
    bool fit = !fits;
    EXPECT_EQ(VelmBrain::tableBitsFor(limit, fit, threads) * 2 + fit, bits * 2 + fits) << limit;
  }
  const std::tuple<int, long long, int> threads[] = {
      {0, 0, 1},
      {-3, 0, 1},
      {2, 0, std::min(2, cores)},
      {1000, 0, std::min(kMaxSearchThreads, cores)},
      {3, engine + 2 * helper, std::min(3, cores)},
      {3, engine + 2 * helper - 1, std::min(2, cores)},
      {3, engine, 1}};
  for (const auto& [wanted, memory, count] : threads)
    EXPECT_EQ(VelmBrain::threadsFor(wanted, memory, 20), count) << wanted << " " << memory;
  const int players[][4] = {{4999, 1000000000, -1, 0}, {30000, 24999, -1, 0},
                            {30000, 180000, 20000, 0}, {30000, 180000, 0, 0},
                            {5000, 1000000000, -1, 1}, {30000, 25000, -1, 1}};
  for (const auto& [turn, match, left, huge] : players) {
    Velmaro_player player(15, 15, {turn, match, left, 0}, 24, 0u, "");
    EXPECT_EQ(player.brain->tables.hugePages, huge != 0) << turn << " " << match << " " << left;
    // The hint reaches the kernel: its record of the mapping behind the table.
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage")) continue;
    const VelmHash& tables = player.brain->tables;
    const auto at = reinterpret_cast<std::uintptr_t>(&tables.ttSlot(tables.mask() / 2));
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
      unsigned long long from = 0, to = 0;
      if (std::sscanf(line.c_str(), "%llx-%llx ", &from, &to) == 2) inside = at >= from && at < to;
      if (inside && line.rfind("VmFlags:", 0) == 0) {
        EXPECT_EQ(line.find(" hg") != std::string::npos, huge != 0) << line;
      }
    }
  }
}

}  // namespace
}  // namespace velm
