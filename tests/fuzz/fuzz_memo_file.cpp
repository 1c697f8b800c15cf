// Fuzzing the game memory file: arbitrary bytes are written as "velmDat.0" in a temporary folder,
// then a game memory for a 15x15 board loads it, records a short game (checking positions and
// storing a loss) and writes the file again. Nothing may read or write outside the tables (the
// sanitizers watch that), and the file written is always a valid memory file: exactly kMemoFileSize
// bytes, the 15x15 header, fill indices inside their blocks, accepted when read back, no temporary
// file left; a file that was accepted keeps its random numbers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "board/keys.h"
#include "fuzz_support.h"
#include "memo/memo.h"
#include "memo/memo_file.h"
#include "platform/random.h"

namespace {

constexpr int kSide = 15, kSquares = kSide * kSide;
constexpr int kGameMoves = 14;  // past the first block, so checks and saves happen

std::string folder;  // with a trailing separator, as the engine passes it
std::string fileName;
std::uint64_t engineKeys[2][velm::kMaxSquares];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = fuzzing::makeTempFolder("fuzz-memo") + "/";
  fileName = folder + velm::kMemoFileName;
  fuzzing::installFatalHook();
  platform::seedRandom(12345);
  for (auto& side : engineKeys)
    for (std::uint64_t& k : side) k = velm::PositionKeys::rand64();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* out = std::fopen(fileName.c_str(), "wb");
  FUZZ_CHECK(out && std::fwrite(data, 1, size, out) == size && std::fclose(out) == 0);

  // Step 1. Load (or build fresh tables) as the engine does at a game start.
  auto memo = std::make_unique<velm::VelmMemo>();
  memo->init(kSide, kSide, &engineKeys[0][0], folder.c_str());
  FUZZ_CHECK(memo->loaded == 1 && memo->size == kSide);
  const bool fromFile = std::memcmp(memo->memoKeys, engineKeys, sizeof engineKeys) != 0;

  // Step 2. A short game of distinct squares, different for different inputs: each position
  // checked against the memory, then a loss stored (twice: the second must store nothing).
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; i++) hash = (hash ^ data[i]) * 16777619u;
  platform::seedRandom(hash);
  bool used[kSquares] = {};
  for (int m = 0; m < kGameMoves; m++) {
    int sq = platform::nextRandom() % kSquares, value = -1;
    while (used[sq]) sq = (sq + 1) % kSquares;
    used[sq] = true;
    for (int probe = 1; probe < 22; probe += 7) {
      // Any answer will do; the scan must stay inside its block.
      const int near = (sq + probe) % kSquares;
      memo->checkMove(near / kSide, near % kSide, memo->parity, value);
    }
    memo->makeMove(sq / kSide, sq % kSide);
  }
  memo->saveGame(kGameMoves % 2, kGameMoves);
  memo->saveGame(kGameMoves % 2, kGameMoves);

  // Step 3. The write, then the file as the next run would read it: an accepted file's random
  // numbers, or the engine's.
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
  const auto* keys = fromFile ? data + 352140 : reinterpret_cast<const std::uint8_t*>(engineKeys);
  FUZZ_CHECK(std::memcmp(reread->memoKeys, keys, sizeof engineKeys) == 0);

  // The memory would write again when destroyed; this run is done with it.
  memo->loaded = 0;
  return 0;
}
