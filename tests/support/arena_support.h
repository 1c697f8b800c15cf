// What the arena's end-to-end suites share: the programs, scripted test brains' commands, the
// arena run to its end with its output, and records compared without their measured times.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "brain_driver.h"
#include "child_process.h"

namespace testing_support {

inline const std::string kArena = std::string(VELMARO_BIN_DIR) + "/velmaro-arena";
inline const std::string kTestBrain = std::string(VELMARO_TEST_BRAINS_DIR) + "/velmaro-test-brain";
constexpr int kLineTimeoutMs = 60000;

inline int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A test brain's command; with `log`, the file its transcript goes to.
inline std::string testBrain(const std::string& args, const std::string& log = "") {
  return "'" + kTestBrain + "' " + args + (log.empty() ? "" : " --log '" + log + "'");
}

// A .psq record with every reply time masked: times vary from run to run.
inline std::string withoutTimes(const std::string& psq) {
  return std::regex_replace(psq, std::regex("^(\\d+,\\d+),\\d+$", std::regex::multiline), "$1,#");
}

// A program's output (every line ends in "\n", and a "\n" goes before the first), its exit code.
struct Output {
  std::string text = "\n";
  int code = -1;
  int count(const std::string& what) const { return countOf(text, what); }
  bool has(const std::string& line) const { return count("\n" + line + "\n") > 0; }
  // Whether the output begins with these lines (the first without its "\n").
  bool begins(const std::string& lines) const { return text.rfind("\n" + lines, 0) == 0; }
  bool matches(const std::string& pattern) const {
    return std::regex_search(text, std::regex(pattern));
  }
};

// Whether `done` comes true within the time, asked every 10 ms.
inline bool eventually(const std::function<bool()>& done, int timeoutMs = kLineTimeoutMs) {
  for (const long long end = tools::nowMs() + timeoutMs; !done();) {
    if (tools::nowMs() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The test brains that wrote their process ids into `file` (--pids) and still run.
inline std::vector<int> runningPids(const std::string& file) {
  std::vector<int> running;
  std::istringstream pids(readFile(file));
  for (int pid = 0; pids >> pid;)
    if (::kill(pid, 0) == 0 || errno != ESRCH) running.push_back(pid);
  return running;
}

// Runs argv in `folder` to its end; `during` acts on it while it runs.
inline Output runToEnd(const std::vector<std::string>& argv, const std::string& folder,
                       const std::function<void(tools::ChildProcess&)>& during = {}) {
  tools::ChildProcess program;
  Output out;
  EXPECT_TRUE(program.start(argv, folder));
  if (during) during(program);
  for (std::string line; program.readLine(line, kLineTimeoutMs);) out.text += line + "\n";
  EXPECT_FALSE(program.timedOut()) << out.text;
  EXPECT_TRUE(program.waitExit(kLineTimeoutMs, out.code));
  return out;
}

}  // namespace testing_support
