#include "brain_driver.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace testing_support {

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

bool replyMatches(const std::string& reply, const std::string& expected) {
  int size = 0;
  if (std::sscanf(expected.c_str(), "<move %d>", &size) == 1) return isMove(reply, size);
  return reply == expected;
}

}  // namespace

void BrainDriver::run(const std::string& script, const std::string& folder) {
  for (const std::string& step : split(script, '|')) {
    SCOPED_TRACE(step);
    int ms = kReplyTimeoutMs;
    std::string line;
    if (step.rfind("> ", 0) == 0) {
      line = step.substr(2);
      for (std::size_t at; (at = line.find("$D")) != std::string::npos;)
        line.replace(at, 2, folder);
      send(line);
    } else if (step == "<close>") {
      process.closeInput();
    } else if (step == "<close output>") {
      process.closeOutput();
    } else if (std::sscanf(step.c_str(), "<exit %d>", &ms) == 1 || step == "<exit>") {
      int code = -1;
      EXPECT_TRUE(process.waitExit(ms, code) && !process.exitedBySignal()) << "no end, or a signal";
      EXPECT_EQ(code, 0);
    } else if (step == "<silent>") {
      EXPECT_FALSE(process.readLine(line, 200)) << line;
    } else if (step.rfind("<size ", 0) == 0) {
      const std::size_t space = step.rfind(' ');
      EXPECT_EQ(fileSize(workDir + "/" + step.substr(6, space - 6)), std::stol(step.substr(space)));
    } else if (step.rfind("{", 0) == 0) {
      // Each reply takes the first expected one it matches.
      std::vector<std::string> expected = split(step.substr(1, step.size() - 2), '/');
      while (!expected.empty()) {
        const std::string reply = next();
        auto hit = std::find_if(expected.begin(), expected.end(),
                                [&](const std::string& e) { return replyMatches(reply, e); });
        ASSERT_NE(hit, expected.end()) << reply;
        expected.erase(hit);
      }
    } else {
      const std::string reply = next();
      ASSERT_TRUE(replyMatches(reply, step)) << reply;
    }
  }
}

bool isMove(const std::string& reply, int size) {
  int x, y;
  char tail;
  return std::sscanf(reply.c_str(), "%d,%d%c", &x, &y, &tail) == 2 && x >= 0 && y >= 0 &&
         x < size && y < size;
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmaro-test-XXXXXX").string();
  folder = mkdtemp(pattern.data()) ? pattern : "";
}

TempFolder::~TempFolder() {
  // Restore permissions a test may have taken away, then remove everything.
  std::error_code ignored;
  chmod(folder.c_str(), 0755);
  for (auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored))
    chmod(entry.path().c_str(), 0755);
  std::filesystem::remove_all(folder, ignored);
}

std::string readFile(const std::string& path) {
  std::stringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  return content.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string listTree(const std::string& root, const std::string& leaveOut) {
  namespace fs = std::filesystem;
  const mode_t mask = umask(0);
  umask(mask);
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).string();
    if (name == leaveOut && !entry.is_directory()) continue;
    names.insert(name + (entry.is_directory() ? "/" : ""));
    if (entry.is_directory()) {
      EXPECT_EQ(static_cast<mode_t>(fs::status(entry).permissions()), 0777 & ~mask) << entry;
    }
  }
  std::string listed;
  for (const std::string& name : names) listed += (listed.empty() ? "" : " ") + name;
  return listed;
}

long procStatusKb(int pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return -1;
}

}  // namespace testing_support
