// VelmBoard: the engine's board.
//
// Holds the stones, and for every square its four line keys (the 8 cells
// around it per direction, 2 bits each) and its pattern codes per side and
// direction, read from linePattern by key. The keys and codes of a square are
// exact while it is empty; when a stone lands on it they are frozen, and
// because moves are undone strictly in reverse order they are exact again
// when the stone is taken back.
//
// Derived state kept current by makeMove/undoMove, never recomputed:
//  - counts.patCount[s][c]: (empty square, direction) pairs whose side-s code
//    is c, relative to the empty board (entries for code 0 go negative);
//  - counts.crossCount[s][k]: empty squares whose side-s cross code is k;
//  - counts.fiveSq[s][0..1]: five squares of side s met by the last move;
//  - each empty square's cross indices (BoardSquare::cross);
//  - the square sets candSquares (the candidates: every empty square within
//    distance 2 of a stone, and the squares that undo freed), stoneSquares (exactly the
//    squares with a stone) and fourSquares[s] (exactly the empty squares
//    with some side-s direction code patFour or patOpenFour), which let
//    makeMove, the move generator and the threat scan visit those squares
//    only, in index order;
//  - the position key (VelmHash).
// makeMove copies the count block and the four sets into the undo record
// and undoMove copies them back; likewise the three words of candSquares
// around the stone, the only ones a move changes. The keys a move changes
// are those of the empty squares in its four lines (its slots, read from
// its own keys, about 19 a move); each changes by a fixed XOR. makeMove
// saves each such square's line state (keys, codes, cross indices: 16
// bytes) into the record before changing it, and undo copies it back,
// instead of recomputing codes and cross indices. Geometry (near, slots)
// is precomputed by init(), so a move never tests board bounds.
// verifyBoard() recomputes everything derived from the stones and
// compares; Debug builds call it after every make/undo.
// soleFiveAfter and countsAfter read what makeMove(sq) would leave (the
// five square a four leaves, the counts) without writing anything, so that
// the forced-line evaluation can value most replies without playing them.
//
// The pattern tables (PatternTables, below) are copied in by the
// constructor and only read after.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/hash.h"
#include "board/patterns.h"
#include "board/square_set.h"

namespace velm {

constexpr int kLineReach = 4;  // cells keyed on each side of a square in a line
constexpr int kNearReach = 2;  // candidates lie within this Chebyshev distance of a stone
constexpr int kNearMax = 24;   // squares of the 5x5 block around a square
// The cells a move can change in other squares' keys: distance 1..4 along
// each of the 4 lines, as slots d * kSlotsPerDirection + j, where j = 0..3
// is the distance +1..+4 and j = 4..7 the distance -1..-4.
constexpr int kSlotsPerDirection = 2 * kLineReach;
constexpr int kSlots = kDirections * kSlotsPerDirection;
constexpr int kUndoCapacity = kMaxSquares + 1;
// The 5x5 block around a square spans 4 * height + 5 consecutive indices, so
// its bits lie in at most three consecutive words of a SquareSet.
constexpr int kNearWords = 3;
static_assert(kSquareWordBits - 1 + 4 * kMaxSide + 5 <= kNearWords * kSquareWordBits);
static_assert(kNearWords <= kSquareWords);

// A square's line state comes first: key, pat and cross, kLineStateBytes
// bytes that a move on one of the square's lines changes, saved whole into
// the undo record before the change and copied back whole by undo. The
// square takes 32 bytes so that an index scales by a shift.
// Both sides' codes of a direction in one byte: side 0 in the low
// kLineCodeBits bits, side 1 in the high ones.
constexpr int kLineCodeBits = 4;
constexpr int kLineCodeMask = 0xF;
static_assert(kPatternCodes <= kLineCodeMask + 1);

struct alignas(32) BoardSquare {
  std::uint16_t key[kDirections];
  // codes[d]: both sides' codes of direction d (the lineCodes entry of
  // key[d]); pat(side, d) is one side's.
  std::uint8_t codes[kDirections];
  // Per side, the index of pat(side, 0..3) in the cross tables
  // (crossIndex), kept in step with the codes so that the cross code and
  // value of a square are one lookup; frozen with the codes.
  std::uint16_t cross[2];
  int stone;  // 0 or 1, or kCellEmpty

  int pat(int side, int d) const { return codes[d] >> side * kLineCodeBits & kLineCodeMask; }
};
static_assert(sizeof(BoardSquare) == 32);
// Every line key and every cross index fits its 16-bit field.
static_assert(kLineKeys - 1 <= UINT16_MAX && kCrossEntries - 1 <= UINT16_MAX);
constexpr std::size_t kLineStateBytes = offsetof(BoardSquare, stone);

// One square's saved line state, and which square it is.
struct SavedLines {
  std::uint8_t bytes[kLineStateBytes];
  int square;
};

struct CountBlock {
  int patCount[2][kPatternCodes];
  int crossCount[2][kCrossCodes];
  int fiveSq[2][2];
};

struct UndoRecord {
  int move;
  // The words nearWord[move] .. + kNearWords - 1 of candSquares after the
  // stone left them (every candidate the move adds lies in them).
  std::uint64_t savedCand[kNearWords];
  // The line state before the move of the squares whose keys the move
  // changed (the empty cells of its own four keys), lines[0..lineCount-1].
  SavedLines lines[kSlots];
  int lineCount;
  CountBlock saved;         // counts before the move
  SquareSet savedFours[2];  // fourSquares before the move
};

// The pattern tables: what every line key and every quadruple of direction
// codes means, for both sides. They depend on nothing but the pattern rules;
// a process computes them once and every board copies them in its
// constructor; nothing changes them after.
struct PatternTables {
  int linePattern[kLineKeys][2];
  int lineDefence[kLineKeys][2][2];
  int crossValue[kCrossEntries];
  int crossCode[kCrossEntries];
  // Compact copies of what makeMove and undoMove read for every key they
  // change, small enough to stay in the processor's nearest caches (the
  // int tables above take 600 KB):
  //  - lineCodes[key]: linePattern[key][0] | linePattern[key][1] << 4;
  //  - crossFlags[index]: crossCode[index], plus kCrossFour when some digit
  //    of the index is patFour or patOpenFour (the squares of fourSquares).
  // And for the threat scan, one lookup per square and side:
  //  - crossThreats[index]: the ThreatTraits of the digits of the index:
  //    kThreatFour, the wins (kThreatWinMask, at kThreatWinShift) and
  //    kThreatAttack.
  std::uint8_t lineCodes[kLineKeys];
  std::uint8_t crossFlags[kCrossEntries];
  std::uint8_t crossThreats[kCrossEntries];
  // lineSlots[key]: bit j set when the cell of slot j of a direction is
  // empty in `key`. A square's four keys give the slots of the empty
  // squares around it, off-board cells never being empty.
  std::uint8_t lineSlots[kLineKeys];
  static constexpr int kCrossCodeMask = 0x7;
  static constexpr int kCrossFour = 0x8;
  static constexpr int kThreatFour = 0x1;
  static constexpr int kThreatAttack = 0x2;
  static constexpr int kThreatWinShift = 2;
  static constexpr int kThreatWinMask = 0xC;
};

class VelmBoard : public VelmHash, public PatternTables {
 public:
  VelmBoard();

  int boardWidth = 0;
  int boardHeight = 0;
  int numSquares = 0;
  int moveCount = 0;
  BoardSquare squares[kMaxSquares];
  BoardSquare* column[kMaxSide];
  int sqMark[kMaxSquares];
  int sideToMove = 0;
  int sideOther = 1;
  int sqIndex[kMaxSide][kMaxSide];
  int sqX[kMaxSquares];
  int sqY[kMaxSquares];

  int near[kMaxSquares][kNearMax];
  int nearCount[kMaxSquares];
  // The squares of near[sq] as bits of the words nearWord[sq] ..
  // nearWord[sq] + kNearWords - 1 of a SquareSet.
  int nearWord[kMaxSquares];
  std::uint64_t nearBits[kMaxSquares][kNearWords];
  // Slot i of a square: the square slotOffset[i] further in index order,
  // whose key (direction i / kSlotsPerDirection) changes by slotFlip[s][i]
  // when a stone of side s lands on the square, and back by the same XOR
  // when it leaves. Set by init() for the board's height.
  int slotOffset[kSlots];
  int slotFlip[2][kSlots];
  UndoRecord undoStack[kUndoCapacity];
  CountBlock counts;
  SquareSet candSquares;
  // A move generator's candidate: a square of candSquares.
  bool isCandidate(int sq) const { return candSquares.contains(sq); }
  SquareSet stoneSquares;
  SquareSet fourSquares[2];
  // The position key when init() last ran: verifyBoard checks that `key` is
  // this value XOR the numbers of the stones on the board.
  std::uint64_t initKey = 0;

  void init(int width, int height);
  void initSlots();
  // The slots of the empty squares in the four lines of an empty square.
  std::uint32_t emptySlots(const BoardSquare& s) const {
    return lineSlots[s.key[0]] | lineSlots[s.key[1]] << kSlotsPerDirection |
           lineSlots[s.key[2]] << 2 * kSlotsPerDirection |
           static_cast<std::uint32_t>(lineSlots[s.key[3]]) << 3 * kSlotsPerDirection;
  }
  void makeMove(int sq);
  void undoMove();
  // The five square the side to move would leave the opponent to block by
  // playing the empty square sq, read without playing it: the square
  // makeMove would record as the mover's first five square, when the mover
  // has no five now and would have exactly one (square, direction) pair
  // coded five afterwards, and the opponent none; otherwise -1.
  int soleFiveAfter(int sq) const;
  // The pattern and cross counts (not the five squares) that makeMove(sq)
  // would leave, computed without playing: the engine values a position
  // that turns out quiet from them alone.
  void countsAfter(int sq, CountBlock& after) const;
  // Whether `other` would be a candidate after a stone on the empty square sq.
  bool candidateAfter(int sq, int other) const {
    const int k = static_cast<int>(SquareSet::wordOf(other)) - nearWord[sq];
    return isCandidate(other) ||
           (k >= 0 && k < kNearWords && (nearBits[sq][k] & SquareSet::bit(other)) != 0);
  }

  // Cross code / cross value of a square for one side, from its four codes.
  int squareCross(const BoardSquare& s, int side) const { return crossCode[s.cross[side]]; }
  int squareValue(const BoardSquare& s, int side) const { return crossValue[s.cross[side]]; }

  // Recomputes keys, codes, counts, candidates and the position key from the
  // stones and compares them with the incremental state. Returns true when
  // they agree; on a mismatch writes what differs into `why` (if given).
  bool verifyBoard(char* why = nullptr, int whySize = 0) const;

  // Diagnostics, for developers (standard output is the protocol channel).
  void printKey(int key) const;
  void printLine(const int* line) const;
  void printVec(const int* values, int n) const;
  void printMoveSeq(const int* moves, int n) const;
  void printInve() const;
  void plotBoard() const;
};

// Draws a board as text: +1 a stone of side 0 ('o'), -1 side 1 ('x'), 0 an
// empty square ('.'); entry [x * height + y]; coordinates on the edges.
void plot_board(const int* cells, int width, int height);

}  // namespace velm
