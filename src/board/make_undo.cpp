// Playing and taking back one stone. Everything derived from the stones is
// brought up to date in one pass over the empty squares of the stone's four
// lines, whose line state the record keeps first; undo copies back the
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

// Moves the contributions of the empty square t to the counts from its
// side-`side` code `old` in direction d to `code` (the caller has stored the
// new codes), and moves its cross index. A cross code that does not change
// leaves its counts as they were, which is what taking the old one out and
// putting the new one in gives; the same holds for the four set, which
// holds the square exactly while its cross index has a four.
inline void setCode(VelmBoard& b, BoardSquare& t, int side, unsigned d, unsigned old,
                    unsigned code) {
  CountBlock& c = b.counts;
  c.patCount[side][old]--;
  c.patCount[side][code]++;
  const unsigned oldCross = t.cross[side];
  const unsigned newCross = oldCross + (code - old) * static_cast<unsigned>(crossDigit[d]);
  t.cross[side] = static_cast<std::uint16_t>(newCross);
  const unsigned oldFlags = b.crossFlags[oldCross];
  const unsigned newFlags = b.crossFlags[newCross];
  if (oldFlags == newFlags) return;
  c.crossCount[side][oldFlags & VelmBoard::kCrossCodeMask]--;
  c.crossCount[side][newFlags & VelmBoard::kCrossCodeMask]++;
  if ((oldFlags ^ newFlags) & VelmBoard::kCrossFour)
    b.fourSquares[side].flip(static_cast<int>(&t - b.squares));
}

// The codes patOpenFour (8) and patFive (9), and only they, have bit 3 set:
// in either side's half of a lineCodes entry.
constexpr int kFourOrFive = 0x88;
constexpr unsigned kFiveCode = patFive;
static_assert(patOpenFour == 0x8 && patFive == 0x9 && kPatternCodes == patFive + 1);

}  // namespace

void VelmBoard::makeMove(int sq) {
  // Step 1. The undo record of this move: the counts and four sets as they
  // were, restored as a whole by undo.
  UndoRecord& rec = undoStack[moveCount];
  rec.move = sq;
  rec.saved = counts;
  rec.savedFours[0] = fourSquares[0];
  rec.savedFours[1] = fourSquares[1];

  // Step 2. The stone.
  BoardSquare& played = squares[sq];
  played.stone = sideToMove;
  candSquares.erase(sq);
  stoneSquares.insert(sq);
  fourSquares[0].erase(sq);
  fourSquares[1].erase(sq);

  // Step 3. Position key; its table slots load while the move goes on.
  key ^= zobrist[sideToMove][sq];
  prefetchSlots();

  // Step 4. New candidates around the stone: the squares of near[sq] that
  // hold no stone, word by word; the words as they were go to the record.
  std::uint64_t* const candWords = &candSquares.word[nearWord[sq]];
  std::memcpy(rec.savedCand, candWords, sizeof rec.savedCand);
  for (int k = 0; k < kNearWords; k++)
    candWords[k] |= nearBits[sq][k] & ~stoneSquares.word[nearWord[sq] + k];

  // Step 5. Keys and codes of the empty squares whose lines hold the stone,
  // found from the played square's own keys (exact: it was empty), in slot
  // order. The changed cell goes from empty to the mover's code: the key
  // changes by a fixed XOR. Each square's line state is saved before it
  // changes.
  const std::uint32_t slots = emptySlots(played);
  const int* flip = slotFlip[sideToMove];
  SavedLines* saved = rec.lines;
  int f0 = 0;
  int f1 = 0;
  for (std::uint32_t rest = slots; rest != 0; rest &= rest - 1) {
    const unsigned i = static_cast<unsigned>(std::countr_zero(rest));
    const unsigned d = i / kSlotsPerDirection;
    BoardSquare& t = (&played)[slotOffset[i]];
    std::memcpy(saved->bytes, &t, kLineStateBytes);
    saved->square = sq + slotOffset[i];
    saved++;
    const unsigned newKey = t.key[d] ^ static_cast<unsigned>(flip[i]);
    t.key[d] = static_cast<std::uint16_t>(newKey);
    // The first two five squares of each side, in slot order; a five is an
    // open four or five code (the top bit of either half of `codes`) first.
    const unsigned codes = lineCodes[newKey];
    if (codes & kFourOrFive) {
      const int n = sq + slotOffset[i];
      if ((codes & kLineCodeMask) == kFiveCode && f0 < 2) counts.fiveSq[0][f0++] = n;
      if ((codes >> kLineCodeBits) == kFiveCode && f1 < 2) counts.fiveSq[1][f1++] = n;
    }

    // The old codes leave the counts, the new ones enter: for each side
    // whose code changed.
    const unsigned old = t.codes[d];
    if (codes == old) continue;
    t.codes[d] = static_cast<std::uint8_t>(codes);
    const unsigned changed = codes ^ old;
    if (changed & kLineCodeMask)
      setCode(*this, t, 0, d, old & kLineCodeMask, codes & kLineCodeMask);
    if (changed >> kLineCodeBits)
      setCode(*this, t, 1, d, old >> kLineCodeBits, codes >> kLineCodeBits);
  }

  rec.lineCount = static_cast<int>(saved - rec.lines);

  // A five square that the move made is usually blocked next, and the
  // forced-line evaluation looks that position up before playing the
  // block: start loading its table slot now.
  if ((sideToMove == 0 ? f0 : f1) > 0)
    prefetchTT0(key ^ zobrist[sideOther][counts.fiveSq[sideToMove][0]]);

  // Step 6. The played square leaves the counts; its keys and codes stay
  // frozen in its record until the stone is taken back.
  for (int d = 0; d < kDirections; d++) {
    counts.patCount[0][played.pat(0, d)]--;
    counts.patCount[1][played.pat(1, d)]--;
  }
  counts.crossCount[0][squareCross(played, 0)]--;
  counts.crossCount[1][squareCross(played, 1)]--;

  // Step 7. A stone on the opponent's first five square blocks it.
  int* oppFive = counts.fiveSq[sideOther];
  if (oppFive[0] == sq) oppFive[0] = oppFive[1];

  // Step 8. Pass the turn.
  moveCount++;
  sideToMove = sideOther;
  sideOther = 1 - sideToMove;

#ifdef VELM_CHECK_BOARD
  checkBoard(*this, "makeMove");
#endif
}

namespace {

// countsAfter's setCode: the same count changes, into `c`, with the square's
// cross index read, not moved.
inline void countCode(const VelmBoard& b, CountBlock& c, const BoardSquare& t, int side, unsigned d,
                      unsigned old, unsigned code) {
  c.patCount[side][old]--;
  c.patCount[side][code]++;
  const unsigned oldCross = t.cross[side];
  const unsigned newCross = oldCross + (code - old) * static_cast<unsigned>(crossDigit[d]);
  const unsigned oldFlags = b.crossFlags[oldCross];
  const unsigned newFlags = b.crossFlags[newCross];
  if (oldFlags == newFlags) return;
  c.crossCount[side][oldFlags & VelmBoard::kCrossCodeMask]--;
  c.crossCount[side][newFlags & VelmBoard::kCrossCodeMask]++;
}

}  // namespace

void VelmBoard::countsAfter(int sq, CountBlock& after) const {
  // Step 1. The counts as they are, less the played square's codes.
  after = counts;
  const BoardSquare& played = squares[sq];
  for (int d = 0; d < kDirections; d++) {
    after.patCount[0][played.pat(0, d)]--;
    after.patCount[1][played.pat(1, d)]--;
  }
  after.crossCount[0][squareCross(played, 0)]--;
  after.crossCount[1][squareCross(played, 1)]--;

  // Step 2. The codes of the keys the stone would change, as makeMove
  // changes them.
  const int* flip = slotFlip[sideToMove];
  for (std::uint32_t rest = emptySlots(played); rest != 0; rest &= rest - 1) {
    const unsigned i = static_cast<unsigned>(std::countr_zero(rest));
    const unsigned d = i / kSlotsPerDirection;
    const BoardSquare& t = (&played)[slotOffset[i]];
    const unsigned codes = lineCodes[t.key[d] ^ static_cast<unsigned>(flip[i])];
    const unsigned old = t.codes[d];
    if (codes == old) continue;
    const unsigned changed = codes ^ old;
    if (changed & kLineCodeMask)
      countCode(*this, after, t, 0, d, old & kLineCodeMask, codes & kLineCodeMask);
    if (changed >> kLineCodeBits)
      countCode(*this, after, t, 1, d, old >> kLineCodeBits, codes >> kLineCodeBits);
  }
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
  const int x = sideToMove;
  const int y = sideOther;
  const BoardSquare& played = squares[sq];
  if (counts.patCount[x][patFive] != 0) return -1;
  if (counts.patCount[y][patFive] != 0) {
    int yFives = counts.patCount[y][patFive];
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
  moveCount--;
  sideOther = sideToMove;
  sideToMove = 1 - sideOther;
  const UndoRecord& rec = undoStack[moveCount];

  // Step 2. All counts, five squares and four sets at once.
  counts = rec.saved;
  fourSquares[0] = rec.savedFours[0];
  fourSquares[1] = rec.savedFours[1];

  // Step 3. The line state of the squares the move changed.
  const SavedLines* const lines = rec.lines;
  const int lineCount = rec.lineCount;
  for (int k = 0; k < lineCount; k++)
    std::memcpy(&squares[lines[k].square], lines[k].bytes, kLineStateBytes);

  // Step 4. The candidate words the move changed, then the freed square,
  // which is always left a candidate; its frozen codes are exact again.
  std::memcpy(&candSquares.word[nearWord[rec.move]], rec.savedCand, sizeof rec.savedCand);
  squares[rec.move].stone = kCellEmpty;
  candSquares.insert(rec.move);
  stoneSquares.erase(rec.move);

  // Step 5. Position key.
  key ^= zobrist[sideToMove][rec.move];

#ifdef VELM_CHECK_BOARD
  checkBoard(*this, "undoMove");
#endif
}

}  // namespace velm
