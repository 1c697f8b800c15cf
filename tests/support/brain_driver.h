// BrainDriver: the real brain (or any program) started over pipes and talked
// to as a manager does, for end-to-end tests. Every read has a time limit,
// so a brain that stops answering fails the test instead of hanging it.
#pragma once

#include <string>
#include <vector>

#include "child_process.h"

namespace testing_support {

constexpr int kReplyTimeoutMs = 10000;

class BrainDriver {
 public:
  // Starts the program in workDir (empty: the current folder).
  explicit BrainDriver(const std::string& program, const std::string& workDir = "");

  // Sends one line (LF ending by default; managers on Windows send CR LF).
  void send(const std::string& line, const char* ending = "\n");
  void sendRaw(const std::string& bytes);
  void closeInput();

  // BOARD, one "x,y,who" line per stone, then "done".
  void sendBoard(const std::vector<std::string>& stones);

  // The next line of output, or "<timeout>" / "<eof>".
  std::string next(int timeoutMs = kReplyTimeoutMs);
  // True when the brain writes nothing within timeoutMs.
  bool silentFor(int timeoutMs);
  // Exit code after the brain ended by itself (-1: did not end in time, or
  // died from a signal).
  int exitCode(int timeoutMs = kReplyTimeoutMs);

  tools::ChildProcess process;
};

// The brain's reply to ABOUT.
constexpr const char* kAboutText =
    "name=\"velmaro\", author=\"TN\", version=\"0.0\", country=\"Ita\", "
    "www=\"https://velmaro.org\"";

// Stones of a 20x20 position with no forced answer: the engine searches it
// until its time runs out (BOARD lines, the engine to move as who 1).
const std::vector<std::string> kQuietPosition = {"10,10,2", "11,11,1", "9,11,2", "12,10,1"};

// True when reply is a move "x,y" on a board of side `size`, nothing else.
bool isMove(const std::string& reply, int size);

// A fresh empty folder under the system's temporary folder, removed (with
// its contents) when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return folder; }

 private:
  std::string folder;
};

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
long fileSize(const std::string& path);

}  // namespace testing_support
