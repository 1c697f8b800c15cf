// Fuzzing move decisions: byte 0 picks the board side (5 to 20), byte 1 the engine's options, and
// every following pair of bytes a square for the next stone, sides alternating. A square that is
// taken, or on which the side to move would make five, is moved on to the next one that is neither;
// the decoding stops when no such square is left or one empty square remains. So every position is
// one that a game can reach, with no five on the board and at least one empty square. Then one
// decision, on a clock that stands still and held to a node budget (bounded and repeatable): its
// answer must be an empty square of the board, and the board exactly as before.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "search/brain.h"

namespace {

velm::VelmBrain* brain = nullptr;

// The options that the input may vary, on top of the game memory.
const unsigned kVariedOptions[] = {velm::kOptionRichEval, velm::kOptionRadiusReply,
                                   velm::kOptionFixedGrowth, velm::kOptionThreatsOnly};

// An empty square on which the side to move would not make five.
bool playable(int sq) {
  const velm::VelmBoard& board = brain->board();
  const velm::BoardSquare& s = board.square(sq);
  if (s.stone != velm::kCellEmpty) return false;
  for (int d = 0; d < velm::kDirections; d++)
    if (s.pat(board.sideToMove(), d) == velm::patFive) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::installFatalHook();
  brain = new velm::VelmBrain;
  const std::string folder = fuzzing::makeTempFolder("fuzz-positions");
  std::snprintf(brain->dataPath, sizeof brain->dataPath, "%s/", folder.c_str());
  velm::EngineParams& params = brain->params;
  params.maxDepth = 24;  // as the protocol front end creates the engine
  params.timeoutTurn = params.timeoutMatch = 1000000000;
  params.clock = [] { return 0; };  // stands still
  params.nodeLimit = 2000;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int side = 5 + data[0] % (velm::kMaxSide - 4);
  brain->params.options = velm::kOptionMemory;
  for (int i = 0; i < 4; i++)
    if (data[1] & (1 << i)) brain->params.options |= kVariedOptions[i];
  brain->init(side, side);
  const int squares = side * side;

  // Step 1. The position.
  const velm::VelmBoard& board = brain->board();
  for (std::size_t i = 2; i + 1 < size && board.moveCount() < squares - 1; i += 2) {
    int sq = ((data[i] << 8) | data[i + 1]) % squares, tried = 0;
    for (; tried < squares && !playable(sq); tried++) sq = (sq + 1) % squares;
    if (tried == squares) break;
    brain->makeGameMove(board.sqX(sq), board.sqY(sq));
  }
  const int movesBefore = board.moveCount();
  const std::uint64_t keyBefore = board.key();

  // Step 2. The decision.
  int x = -1, y = -1;
  brain->thinkMove(x, y);
  FUZZ_CHECK(x >= 0 && x < side && y >= 0 && y < side);
  FUZZ_CHECK(board.square(board.sqIndex(x, y)).stone == velm::kCellEmpty);

  // Step 3. The search undid everything it played.
  FUZZ_CHECK(board.moveCount() == movesBefore && board.key() == keyBefore);
  char why[256] = "";
  if (!board.verifyBoard(why, sizeof why)) {
    std::fprintf(stderr, "board differs after the decision: %s\n", why);
    FUZZ_CHECK(false);
  }
  return 0;
}
