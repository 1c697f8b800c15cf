#include "memo/memo_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/filesystem.h"

namespace velm {

namespace {

// Little-endian reading of fixed-width fields. The first short read marks
// the reader failed; later reads give 0.
class FieldReader {
 public:
  explicit FieldReader(std::FILE* f) : file(f) {}

  std::uint64_t read(int bytes) {
    unsigned char b[8];
    if (!ok || std::fread(b, 1, bytes, file) != static_cast<std::size_t>(bytes)) {
      ok = false;
      return 0;
    }
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; i--) v = (v << 8) | b[i];
    return v;
  }
  std::int32_t read32() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(read(4))); }
  std::uint64_t read64() { return read(8); }
  // True when every field was read and nothing follows them.
  bool atExactEnd() { return ok && std::fgetc(file) == EOF && !std::ferror(file); }

  bool ok = true;

 private:
  std::FILE* file;
};

// Little-endian writing of fixed-width fields, gathered in a buffer that
// goes out in large writes (the file has some 90,000 fields); remembers the
// first failure.
class FieldWriter {
 public:
  explicit FieldWriter(std::FILE* f) : file(f) {}

  void write32(std::int32_t v) { put<4>(static_cast<std::uint32_t>(v)); }
  void write64(std::uint64_t v) { put<8>(v); }
  // Writes out what the buffer holds.
  void flush() {
    if (ok && std::fwrite(buffer, 1, used, file) != static_cast<std::size_t>(used)) ok = false;
    used = 0;
  }

  bool ok = true;

 private:
  static constexpr int kBufferBytes = 4096;

  template <int kBytes>
  void put(std::uint64_t v) {
    if (used + kBytes > kBufferBytes) flush();
    unsigned char* b = buffer + used;
    for (int i = 0; i < kBytes; i++) b[i] = static_cast<unsigned char>(v >> (8 * i));
    used += kBytes;
  }

  std::FILE* file;
  unsigned char buffer[kBufferBytes];
  int used = 0;
};

bool fillIndicesValid(const VelmMemo& memo) {
  for (int b = 0; b < kMemoBlocks; b++) {
    if (memo.fillIndex[b] < 0 || memo.fillIndex[b] >= kMemoBlockSize) return false;
  }
  return true;
}

// Step 3 of the reading: the tables, in file order.
void readTables(FieldReader& in, VelmMemo& memo) {
  for (auto& block : memo.lostTable) {
    for (MemoEntry& e : block) {
      e.key = in.read64();
      e.value = in.read32();
      e.unused = in.read32();
    }
  }
  for (int& f : memo.fillIndex) f = in.read32();
  for (auto& side : memo.memoKeys) {
    for (std::uint64_t& k : side) k = in.read64();
  }
}

void writeAll(FieldWriter& out, const VelmMemo& memo) {
  out.write32(memo.size);
  out.write32(kMemoGridWidth);
  out.write32(kMemoFirstBlock);
  out.write32(kMemoMoves);
  out.write32(kMemoBlockSize);
  for (const auto& block : memo.lostTable) {
    for (const MemoEntry& e : block) {
      out.write64(e.key);
      out.write32(e.value);
      out.write32(e.unused);
    }
  }
  for (int f : memo.fillIndex) out.write32(f);
  for (const auto& side : memo.memoKeys) {
    for (std::uint64_t k : side) out.write64(k);
  }
}

}  // namespace

bool readMemoFile(VelmMemo& memo, int width, int height) {
  if (memo.fileName[0] == '\0') return false;
  std::FILE* file = platform::openFile(memo.fileName, "rb");
  if (file == nullptr) return false;

  // Step 1. The header: the board size and the format constants.
  FieldReader in(file);
  memo.size = in.read32();
  bool accepted = memo.size == width && memo.size == height;
  accepted = in.read32() == kMemoGridWidth && accepted;
  accepted = in.read32() == kMemoFirstBlock && accepted;
  accepted = in.read32() == kMemoMoves && accepted;
  accepted = in.read32() == kMemoBlockSize && accepted;

  // Step 2. The tables, then the checks that keep every later access inside
  // lostTable: the exact length and the ring positions of the used blocks.
  if (accepted && in.ok) {
    readTables(in, memo);
    accepted = in.atExactEnd() && fillIndicesValid(memo);
  }
  std::fclose(file);
  return accepted && in.ok;
}

bool VelmMemo::writeFile() {
  if (loaded != 1 || fileName[0] == '\0') return false;

  // Step 1. Write everything to a temporary file beside the real one. init()
  // only sets names short enough for the temporary name to fit; any other
  // name is refused here rather than cut.
  char tempName[kPathCapacity];
  const char* nameEnd = static_cast<const char*>(std::memchr(fileName, '\0', sizeof fileName));
  if (nameEnd == nullptr) return false;
  const std::size_t nameLength = static_cast<std::size_t>(nameEnd - fileName);
  if (nameLength + kMemoTempSuffixLength >= sizeof tempName) return false;
  std::memcpy(tempName, fileName, nameLength);
  std::memcpy(tempName + nameLength, kMemoTempSuffix, kMemoTempSuffixLength + 1);
  std::FILE* file = platform::openFile(tempName, "wb");
  if (file == nullptr) return false;
  FieldWriter out(file);
  writeAll(out, *this);
  out.flush();
  bool ok = out.ok;
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;

  // Step 2. Only a complete file replaces the old one; otherwise the old one
  // stays and the partial copy goes.
  if (ok) ok = platform::replaceFile(tempName, fileName);
  if (!ok) platform::removeFile(tempName);
  return ok;
}

}  // namespace velm
