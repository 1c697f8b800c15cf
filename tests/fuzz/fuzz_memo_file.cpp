// Fuzzing the game memory file: arbitrary bytes are written as "velmDat.0" in
// a temporary folder, then a game memory for a 15x15 board loads it, records
// a short game (checking positions and storing a loss) and writes the file
// again. Nothing may read or write outside the tables (the sanitizers watch
// that), and the file written is always a valid memory file: exactly
// kMemoFileSize bytes, the 15x15 header, fill indices inside their blocks,
// accepted when read back, no temporary file left; a file that was accepted
// keeps its random numbers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "memo/memo.h"
#include "memo/memo_file.h"

namespace {

constexpr int kSide = 15;
constexpr int kGameMoves = 14;  // past the first block, so checks and saves happen

std::string folder;  // with a trailing separator, as the engine passes it
std::string fileName;
std::uint64_t engineKeys[2][velm::kMaxSquares];

std::uint64_t nextKey(std::uint64_t& state) {
  state = state * 6364136223846793005ull + 1442695040888963407ull;
  return state ^ (state >> 29);
}

// A game of distinct squares, different for different inputs.
void pickGame(const std::uint8_t* data, std::size_t size, int* squares) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < size; i++) h = (h ^ data[i]) * 1099511628211ull;
  bool used[kSide * kSide] = {};
  for (int m = 0; m < kGameMoves; m++) {
    int sq = static_cast<int>(nextKey(h) % (kSide * kSide));
    while (used[sq]) sq = (sq + 1) % (kSide * kSide);
    used[sq] = true;
    squares[m] = sq;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = fuzzing::makeTempFolder("fuzz-memo") + "/";
  fileName = folder + velm::kMemoFileName;
  fuzzing::installFatalHook();
  std::uint64_t state = 12345;
  for (auto& side : engineKeys)
    for (std::uint64_t& k : side) k = nextKey(state);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::ofstream out(fileName, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  FUZZ_CHECK(out.good());

  // Step 1. Load (or build fresh tables) as the engine does at a game start.
  auto memo = std::make_unique<velm::VelmMemo>();
  memo->init(kSide, kSide, &engineKeys[0][0], folder.c_str());
  FUZZ_CHECK(memo->loaded == 1 && memo->size == kSide);
  const bool fromFile = std::memcmp(memo->memoKeys, engineKeys, sizeof engineKeys) != 0;
  std::uint64_t keptKeys[2][velm::kMaxSquares];
  std::memcpy(keptKeys, memo->memoKeys, sizeof keptKeys);

  // Step 2. A short game: each position checked against the memory, then a
  // loss stored (twice: the second must store nothing).
  int squares[kGameMoves];
  pickGame(data, size, squares);
  for (int m = 0; m < kGameMoves; m++) {
    int value = -1;
    for (int probe = 0; probe < 3; probe++) {
      const int sq = (squares[m] + 7 * probe + 1) % (kSide * kSide);
      // Any answer will do; the scan must stay inside its block.
      memo->checkMove(sq / kSide, sq % kSide, memo->parity, value);
    }
    memo->makeMove(squares[m] / kSide, squares[m] % kSide);
  }
  memo->saveGame(kGameMoves % 2, kGameMoves);
  memo->saveGame(kGameMoves % 2, kGameMoves);

  // Step 3. The write, then the file as the next run would read it.
  FUZZ_CHECK(memo->writeFile());
  std::error_code ignored;
  FUZZ_CHECK(static_cast<long>(std::filesystem::file_size(fileName, ignored)) ==
             velm::kMemoFileSize);
  FUZZ_CHECK(!std::filesystem::exists(fileName + velm::kMemoTempSuffix, ignored));
  auto reread = std::make_unique<velm::VelmMemo>();
  std::snprintf(reread->fileName, sizeof reread->fileName, "%s", fileName.c_str());
  FUZZ_CHECK(velm::readMemoFile(*reread, kSide, kSide) && reread->size == kSide);
  for (int b = 0; b < velm::kMemoBlocks; b++)
    FUZZ_CHECK(reread->fillIndex[b] >= 0 && reread->fillIndex[b] < velm::kMemoBlockSize);
  FUZZ_CHECK(std::memcmp(reread->memoKeys, keptKeys, sizeof keptKeys) == 0);
  if (fromFile) FUZZ_CHECK(std::memcmp(reread->memoKeys, data + 352140, sizeof keptKeys) == 0);

  // The memory would write again when destroyed; this run is done with it.
  memo->loaded = 0;
  return 0;
}
