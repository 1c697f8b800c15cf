#include "brain_driver.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testing_support {

BrainDriver::BrainDriver(const std::string& program, const std::string& workDir) {
  process.start({program}, workDir);
}

void BrainDriver::send(const std::string& line, const char* ending) {
  process.writeLine(line, ending);
}

void BrainDriver::sendBoard(const std::vector<std::string>& stones) {
  send("BOARD");
  for (const std::string& stone : stones) send(stone);
  send("done");
}

bool isMove(const std::string& reply, int size) {
  int x, y;
  char tail;
  return std::sscanf(reply.c_str(), "%d,%d%c", &x, &y, &tail) == 2 && x >= 0 && y >= 0 &&
         x < size && y < size;
}

void BrainDriver::sendRaw(const std::string& bytes) {
  process.writeRaw(bytes);
}

void BrainDriver::closeInput() {
  process.closeInput();
}

std::string BrainDriver::next(int timeoutMs) {
  std::string line;
  if (process.readLine(line, timeoutMs)) return line;
  return process.timedOut() ? "<timeout>" : "<eof>";
}

bool BrainDriver::silentFor(int timeoutMs) {
  std::string line;
  return !process.readLine(line, timeoutMs) && process.timedOut();
}

int BrainDriver::exitCode(int timeoutMs) {
  int code = -1;
  if (!process.waitExit(timeoutMs, code) || process.exitedBySignal()) return -1;
  return code;
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmaro-test-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  folder = made ? made : "";
}

TempFolder::~TempFolder() {
  if (folder.empty()) return;
  std::error_code ignored;
  // Restore permissions a test may have taken away, then remove everything.
  for (auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored))
    chmod(entry.path().c_str(), 0755);
  std::filesystem::remove_all(folder, ignored);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

bool fileExists(const std::string& path) {
  return std::filesystem::exists(path);
}

long fileSize(const std::string& path) {
  std::error_code error;
  auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<long>(size);
}

}  // namespace testing_support
