// VelmBoard: one game position and everything derived from its stones.
//
// Holds the stones, and for every square its four line keys (the 8 cells
// around it per direction, 2 bits each) and its pattern codes per side and
// direction, read from the pattern tables by key. The keys and codes of a
// square are exact while it is empty; when a stone lands on it they are
// frozen, and because moves are undone strictly in reverse order they are
// exact again when the stone is taken back.
//
// Derived state kept current by makeMove/undoMove, never recomputed:
//  - counts().patCount[s][c]: (empty square, direction) pairs whose side-s
//    code is c, relative to the empty board (entries for code 0 go
//    negative);
//  - counts().crossCount[s][k]: empty squares whose side-s cross code is k;
//  - counts().fiveSq[s][0..1]: five squares of side s met by the last move;
//  - each empty square's cross indices (BoardSquare::cross);
//  - the square sets candSquares (the candidates: every empty square within
//    distance 2 of a stone, and the squares that undo freed), stoneSquares
//    (exactly the squares with a stone) and fourSquares[s] (exactly the
//    empty squares with some side-s direction code patFour or patOpenFour),
//    which let makeMove, the move generator and the threat scan visit those
//    squares only, in index order;
//  - the position key: the key at init() XOR the numbers (PositionKeys) of
//    the stones. init() keeps the key the last game left.
// makeMove copies the count block and the four sets into the undo record
// and undoMove copies them back; likewise the three words of candSquares
// around the stone, the only ones a move changes. The keys a move changes
// are those of the empty squares in its four lines (its slots, read from
// its own keys, about 19 a move); each changes by a fixed XOR. makeMove
// saves each such square's line state (keys, codes, cross indices: 16
// bytes) into the record before changing it, and undo copies it back,
// instead of recomputing codes and cross indices. Geometry (near, slots)
// is precomputed by init(), so a move never tests board bounds.
//
// Ownership: the state is the board's own. Only init, makeMove and
// undoMove write it; everybody else reads it through the accessors. The
// previews soleFiveAfter and countsAfter tell what makeMove(sq) would leave
// without writing anything, walking the move's lines exactly as makeMove
// does. verifyBoard() recomputes everything derived from the stones and
// compares; Debug builds call it after every make/undo. The board knows
// nothing of the search or its tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/keys.h"
#include "board/pattern_classifier.h"
#include "board/pattern_tables.h"
#include "board/patterns.h"
#include "board/square_set.h"
#include "platform/memory.h"

namespace velm {

constexpr int kNearReach = 2;  // candidates lie within this Chebyshev distance of a stone
constexpr int kNearMax = 24;   // squares of the 5x5 block around a square
// The cells a move can change in other squares' keys: distance 1..4 along
// each of the 4 lines, as slots d * kSlotsPerDirection + j, where j = 0..3
// is the distance +1..+4 and j = 4..7 the distance -1..-4.
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

// The pattern tables are a private base, so that make/undo read them at a
// fixed offset from the board; others read them through patterns().
class VelmBoard : private PatternTables, public platform::ZeroedOnHeap {
 public:
  VelmBoard();

  // A new game on an empty board of this size (at most kMaxSide a side;
  // larger ends the process), its positions keyed by `keys`.
  void init(int width, int height, const PositionKeys& keys);
  // This board becomes the position of `from`, whose game is keyed by
  // `keys`: the same size, stones played in the same order, and the same
  // position keys (the same empty-board key), so that both boards find the
  // same table entries.
  void copyGame(const VelmBoard& from, const PositionKeys& keys);
  // The same game keyed anew by `keys`, the empty board's key being 0: the
  // keys then depend on nothing but the numbers and the stones.
  void rekey(const PositionKeys& keys);
  // Plays the side to move on the empty square sq.
  void makeMove(int sq);
  // Takes back the last move made and not yet taken back; the freed square
  // is left a candidate.
  void undoMove();

  // Previews, read without playing.
  // The five square the side to move would leave the opponent to block by
  // playing the empty square sq: the square makeMove would record as the
  // mover's first five square, when the mover has no five now and would
  // have exactly one (square, direction) pair coded five afterwards, and
  // the opponent none; otherwise -1.
  int soleFiveAfter(int sq) const;
  // The pattern and cross counts (not the five squares) that makeMove(sq)
  // would leave: the engine values a position that turns out quiet from
  // them alone.
  void countsAfter(int sq, CountBlock& after) const;
  // Whether `other` would be a candidate after a stone on the empty square sq.
  bool candidateAfter(int sq, int other) const {
    const int k = static_cast<int>(SquareSet::wordOf(other)) - nearWord[sq];
    return isCandidate(other) ||
           (k >= 0 && k < kNearWords && (nearBits[sq][k] & SquareSet::bit(other)) != 0);
  }

  // Size and squares.
  int boardWidth() const { return width_; }
  int boardHeight() const { return height_; }
  int numSquares() const { return numSquares_; }
  int sqIndex(int x, int y) const { return x * height_ + y; }
  int sqX(int sq) const { return sqX_[sq]; }
  int sqY(int sq) const { return sqY_[sq]; }
  const BoardSquare& square(int sq) const { return squares[sq]; }

  // Turn and history.
  int sideToMove() const { return sideToMove_; }
  int sideOther() const { return sideOther_; }
  int moveCount() const { return moveCount_; }
  // The square of the k-th move since init (k < moveCount()).
  int moveAt(int k) const { return undoStack[k].move; }

  // Derived state.
  const CountBlock& counts() const { return counts_; }
  const SquareSet& candSquares() const { return candSquares_; }
  const SquareSet& stoneSquares() const { return stoneSquares_; }
  const SquareSet& fourSquares(int side) const { return fourSquares_[side]; }
  // A move generator's candidate: a square of candSquares.
  bool isCandidate(int sq) const { return candSquares_.contains(sq); }
  // Cross code / cross value of a square for one side, from its four codes.
  int squareCross(const BoardSquare& s, int side) const { return crossCode[s.cross[side]]; }
  int squareValue(const BoardSquare& s, int side) const { return crossValue[s.cross[side]]; }
  const PatternTables& patterns() const { return *this; }

  // Keys: the current position's, and the number a stone of `side` on sq
  // adds to it (so the key after a move, or after two, is known without
  // playing them).
  std::uint64_t key() const { return key_; }
  std::uint64_t stoneKey(int side, int sq) const { return zobrist[side][sq]; }
  std::uint64_t keyAfter(int sq) const { return key_ ^ zobrist[sideToMove_][sq]; }

  // Recomputes keys, codes, counts, candidates and the position key from the
  // stones and compares them with the incremental state. Returns true when
  // they agree; on a mismatch writes what differs into `why` (if given).
  bool verifyBoard(char* why = nullptr, int whySize = 0) const;

  // Diagnostics, for developers (standard output is the protocol channel,
  // so the brain never calls these; velmaro-bench's `position` does).
  // A line key as its 9 cells, the square in the middle.
  void printKey(int key) const;
  // "[x,y]" of each move, 1-based as the records are.
  void printMoveSeq(const int* moves, int n) const;
  // Both sides' pattern and cross counts.
  void printInve() const;
  // The stones, with coordinates.
  void plotBoard() const;

 private:
  // Tests that corrupt the state on purpose, to see verifyBoard notice.
  friend struct BoardProbe;

  void initSlots();
  // The slots of the empty squares in the four lines of an empty square.
  std::uint32_t emptySlots(const BoardSquare& s) const {
    return lineSlots[s.key[0]] | lineSlots[s.key[1]] << kSlotsPerDirection |
           lineSlots[s.key[2]] << 2 * kSlotsPerDirection |
           static_cast<std::uint32_t>(lineSlots[s.key[3]]) << 3 * kSlotsPerDirection;
  }
  // The walk of makeMove and countsAfter over the empty squares of the four
  // lines through the empty square sq, for a stone of the side to move:
  // each one's new key and codes, and the count changes into `c`. Playing,
  // it also writes the keys, codes, cross indices and four sets, saves each
  // square's line state into `rec` first, and records the five squares.
  // Self is VelmBoard or const VelmBoard.
  template <bool kPlay, class Self>
  static void walkLines(Self& self, int sq, CountBlock& c, UndoRecord* rec);
  // Moves the contributions of the empty square t to `c` from its side-
  // `side` code `old` in direction d to `code`; playing, moves its cross
  // index and four-set membership too.
  template <bool kPlay, class Self, class Square>
  static void changeCode(Self& self, CountBlock& c, Square& t, int side, unsigned d, unsigned old,
                         unsigned code);
  // Takes the codes of the square s out of `c`, as a stone on it does.
  void leaveCounts(const BoardSquare& s, CountBlock& c) const;

  int width_ = 0;
  int height_ = 0;
  int numSquares_ = 0;
  int moveCount_ = 0;
  int sideToMove_ = 0;
  int sideOther_ = 1;
  std::uint64_t key_ = 0;
  // The position key when init() last ran: verifyBoard checks that key_ is
  // this value XOR the numbers of the stones on the board.
  std::uint64_t initKey = 0;
  BoardSquare squares[kMaxSquares];
  int sqX_[kMaxSquares];
  int sqY_[kMaxSquares];
  std::uint64_t zobrist[2][kMaxSquares];

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
  CountBlock counts_;
  SquareSet candSquares_;
  SquareSet stoneSquares_;
  SquareSet fourSquares_[2];
};

}  // namespace velm
