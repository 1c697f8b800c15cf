// Playing and taking back one stone, and the previews that tell what a
// stone would change without playing it. Everything derived from the stones
// is brought up to date in one pass over the empty squares of the stone's
// four lines, whose line state the record keeps first; undo copies back the
// counts and that line state.
#include <bit>
#include <cstdint>
#include <cstring>

#include "board/board.h"

#ifdef VELM_CHECK_BOARD
#include <cstdio>
#include <cstdlib>
#endif

namespace velm {

namespace {

#ifdef VELM_CHECK_BOARD
constexpr int kWhySize = 256;

void checkBoard(const VelmBoard& board, const char* after) {
  char why[kWhySize];
  if (board.verifyBoard(why, kWhySize)) return;
  std::fprintf(stderr, "board check failed after %s: %s\n", after, why);
  std::abort();
}
#endif

// The codes patOpenFour (8) and patFive (9), and only they, have bit 3 set:
// in either side's half of a lineCodes entry.
constexpr int kFourOrFive = 0x88;
constexpr unsigned kFiveCode = patFive;
static_assert(patOpenFour == 0x8 && patFive == 0x9 && kPatternCodes == patFive + 1);

}  // namespace

// Self is VelmBoard when playing, const VelmBoard when previewing: the
// preview cannot write the board.
template <bool kPlay, class Self, class Square>
inline void VelmBoard::changeCode(Self& self, CountBlock& c, Square& t, int side, unsigned d,
                                  unsigned old, unsigned code) {
  // A cross code that does not change leaves its counts as they were, which
  // is what taking the old one out and putting the new one in gives; the
  // same holds for the four set, which holds the square exactly while its
  // cross index has a four.
  c.patCount[side][old]--;
  c.patCount[side][code]++;
  const unsigned oldCross = t.cross[side];
  const unsigned newCross = oldCross + (code - old) * static_cast<unsigned>(crossDigit[d]);
  if constexpr (kPlay) t.cross[side] = static_cast<std::uint16_t>(newCross);
  const unsigned oldFlags = self.crossFlags[oldCross];
  const unsigned newFlags = self.crossFlags[newCross];
  if (oldFlags == newFlags) return;
  c.crossCount[side][oldFlags & kCrossCodeMask]--;
  c.crossCount[side][newFlags & kCrossCodeMask]++;
  if constexpr (kPlay) {
    if ((oldFlags ^ newFlags) & kCrossFour)
      self.fourSquares_[side].flip(static_cast<int>(&t - self.squares));
  }
}

template <bool kPlay, class Self>
inline void VelmBoard::walkLines(Self& self, int sq, CountBlock& c, UndoRecord* rec) {
  // The played square's own keys are exact (it is empty) and give the
  // slots of the empty squares in its lines, in slot order. The changed
  // cell goes from empty to the mover's code: each key changes by a fixed
  // XOR.
  auto& played = self.squares[sq];
  const int* flip = self.slotFlip[self.sideToMove_];
  SavedLines* saved = kPlay ? rec->lines : nullptr;
  [[maybe_unused]] int f0 = 0;
  [[maybe_unused]] int f1 = 0;
  for (std::uint32_t rest = self.emptySlots(played); rest != 0; rest &= rest - 1) {
    const unsigned i = static_cast<unsigned>(std::countr_zero(rest));
    const unsigned d = i / kSlotsPerDirection;
    auto& t = (&played)[self.slotOffset[i]];
    const unsigned newKey = t.key[d] ^ static_cast<unsigned>(flip[i]);
    const unsigned codes = self.lineCodes[newKey];
    if constexpr (kPlay) {
      // The square's line state goes to the record before it changes.
      std::memcpy(saved->bytes, &t, kLineStateBytes);
      saved->square = sq + self.slotOffset[i];
      saved++;
      t.key[d] = static_cast<std::uint16_t>(newKey);
      // The first two five squares of each side, in slot order; a five is
      // an open four or five code (the top bit of either half of `codes`)
      // first.
      if (codes & kFourOrFive) {
        const int n = sq + self.slotOffset[i];
        if ((codes & kLineCodeMask) == kFiveCode && f0 < 2) c.fiveSq[0][f0++] = n;
        if ((codes >> kLineCodeBits) == kFiveCode && f1 < 2) c.fiveSq[1][f1++] = n;
      }
    }

    // The old codes leave the counts, the new ones enter: for each side
    // whose code changed.
    const unsigned old = t.codes[d];
    if (codes == old) continue;
    if constexpr (kPlay) t.codes[d] = static_cast<std::uint8_t>(codes);
    const unsigned changed = codes ^ old;
    if (changed & kLineCodeMask)
      changeCode<kPlay>(self, c, t, 0, d, old & kLineCodeMask, codes & kLineCodeMask);
    if (changed >> kLineCodeBits)
      changeCode<kPlay>(self, c, t, 1, d, old >> kLineCodeBits, codes >> kLineCodeBits);
  }
  if constexpr (kPlay) rec->lineCount = static_cast<int>(saved - rec->lines);
}

inline void VelmBoard::leaveCounts(const BoardSquare& s, CountBlock& c) const {
  for (int d = 0; d < kDirections; d++) {
    c.patCount[0][s.pat(0, d)]--;
    c.patCount[1][s.pat(1, d)]--;
  }
  c.crossCount[0][squareCross(s, 0)]--;
  c.crossCount[1][squareCross(s, 1)]--;
}

void VelmBoard::makeMove(int sq) {
  // Step 1. The undo record of this move: the counts and four sets as they
  // were, restored as a whole by undo.
  UndoRecord& rec = undoStack[moveCount_];
  rec.move = sq;
  rec.saved = counts_;
  rec.savedFours[0] = fourSquares_[0];
  rec.savedFours[1] = fourSquares_[1];

  // Step 2. The stone.
  BoardSquare& played = squares[sq];
  played.stone = sideToMove_;
  candSquares_.erase(sq);
  stoneSquares_.insert(sq);
  fourSquares_[0].erase(sq);
  fourSquares_[1].erase(sq);

  // Step 3. Position key.
  key_ ^= zobrist[sideToMove_][sq];

  // Step 4. New candidates around the stone: the squares of its 5x5 block
  // that hold no stone, word by word; the words as they were go to the
  // record.
  std::uint64_t* const candWords = &candSquares_.word[nearWord[sq]];
  std::memcpy(rec.savedCand, candWords, sizeof rec.savedCand);
  for (int k = 0; k < kNearWords; k++)
    candWords[k] |= nearBits[sq][k] & ~stoneSquares_.word[nearWord[sq] + k];

  // Step 5. Keys, codes and counts of the empty squares whose lines hold the
  // stone.
  walkLines<true>(*this, sq, counts_, &rec);

  // Step 6. The played square leaves the counts; its keys and codes stay
  // frozen in its record until the stone is taken back.
  leaveCounts(played, counts_);

  // Step 7. A stone on the opponent's first five square blocks it.
  int* oppFive = counts_.fiveSq[sideOther_];
  if (oppFive[0] == sq) oppFive[0] = oppFive[1];

  // Step 8. Pass the turn.
  moveCount_++;
  sideToMove_ = sideOther_;
  sideOther_ = 1 - sideToMove_;

#ifdef VELM_CHECK_BOARD
  checkBoard(*this, "makeMove");
#endif
}

void VelmBoard::countsAfter(int sq, CountBlock& after) const {
  // The counts as they are, less the played square's codes, then the codes
  // of the keys the stone would change, as makeMove changes them. The walk
  // without playing writes nothing of the board.
  after = counts_;
  leaveCounts(squares[sq], after);
  walkLines<false>(*this, sq, after, nullptr);
}

// A five code of a square means that some window of five cells holding it
// has its four other cells of the side's stones. Such a window stays so
// when a stone is added elsewhere, and gains the side's fourth stone only
// from that side, on a square that was a four (code patFour or
// patOpenFour) in that line, the square being one of the four's completion
// cells (lineDefence). So when the mover has no five, its stone makes five
// squares exactly at the completions of its fours, one per patFour and two
// per patOpenFour, and changes no five code of the opponent's but its own
// square's.
int VelmBoard::soleFiveAfter(int sq) const {
  // Step 1. A mover without a five, and an opponent whose five pairs are
  // all on the played square (they leave the counts with it): a five left
  // to the opponent could not be answered by one block.
  const int x = sideToMove_;
  const int y = sideOther_;
  const BoardSquare& played = squares[sq];
  if (counts_.patCount[x][patFive] != 0) return -1;
  if (counts_.patCount[y][patFive] != 0) {
    int yFives = counts_.patCount[y][patFive];
    for (int d = 0; d < kDirections; d++) yFives -= played.pat(y, d) == patFive;
    if (yFives != 0) return -1;
  }

  // Step 2. The mover's five pairs after the stone: the completions of its
  // fours. An open four makes two; a single patFour's is the square makeMove
  // records.
  int block = -1;
  for (int d = 0; d < kDirections; d++) {
    const int own = played.pat(x, d);
    if (own == patOpenFour) return -1;
    if (own != patFour) continue;
    if (block >= 0) return -1;
    const int c = lineDefence[played.key[d]][x][0];
    block = sq + slotOffset[d * kSlotsPerDirection + (c > 0 ? c - 1 : kLineReach - 1 - c)];
  }
  return block;
}

void VelmBoard::undoMove() {
  // Step 1. Back to the side that made the move.
  moveCount_--;
  sideOther_ = sideToMove_;
  sideToMove_ = 1 - sideOther_;
  const UndoRecord& rec = undoStack[moveCount_];

  // Step 2. All counts, five squares and four sets at once.
  counts_ = rec.saved;
  fourSquares_[0] = rec.savedFours[0];
  fourSquares_[1] = rec.savedFours[1];

  // Step 3. The line state of the squares the move changed.
  const SavedLines* const lines = rec.lines;
  const int lineCount = rec.lineCount;
  for (int k = 0; k < lineCount; k++)
    std::memcpy(&squares[lines[k].square], lines[k].bytes, kLineStateBytes);

  // Step 4. The candidate words the move changed, then the freed square,
  // which is always left a candidate; its frozen codes are exact again.
  std::memcpy(&candSquares_.word[nearWord[rec.move]], rec.savedCand, sizeof rec.savedCand);
  squares[rec.move].stone = kCellEmpty;
  candSquares_.insert(rec.move);
  stoneSquares_.erase(rec.move);

  // Step 5. Position key.
  key_ ^= zobrist[sideToMove_][rec.move];

#ifdef VELM_CHECK_BOARD
  checkBoard(*this, "undoMove");
#endif
}

}  // namespace velm
