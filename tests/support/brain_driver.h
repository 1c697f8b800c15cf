// BrainDriver: a program (the real brain, or any other) started over pipes and talked to as a
// manager does; every read has a time limit, so a brain that stops answering fails the test
// instead of hanging it. Beside it: temporary folders and files.
#pragma once

#include <filesystem>
#include <string>

#include "child_process.h"

namespace testing_support {

constexpr int kReplyTimeoutMs = 10000;

class BrainDriver {
 public:
  // Starts the program in workDir (empty: the current folder).
  BrainDriver(const std::string& program, const std::string& workDir)
      : program(program), workDir(workDir) {
    restart();
  }
  void restart() { process.start({program}, workDir); }
  void send(const std::string& line) { process.writeLine(line, "\n"); }
  // The next line of output, or "<timeout>" / "<eof>".
  std::string next(int timeoutMs = kReplyTimeoutMs) {
    std::string line;
    if (process.readLine(line, timeoutMs)) return line;
    return process.timedOut() ? "<timeout>" : "<eof>";
  }

  // Plays a conversation: steps separated by '|'. "> text" sends text (each "$D" replaced by
  // `folder`); "<close>" closes the program's input, "<close output>" its output; "<exit>" or
  // "<exit MS>" expects it to end with exit code 0 (within MS); "<silent>" expects no reply for a
  // moment; "<size FILE N>" expects the file in the working folder to hold N bytes (-1: no such
  // file); "<move N>" expects a move on a board of side N; "{a/b/c}" expects these replies in any
  // order (the command loop and the worker write independently); any other step is the exact next
  // reply.
  void run(const std::string& script, const std::string& folder = "");

  tools::ChildProcess process;

 private:
  std::string program, workDir;
};

// True when reply is a move "x,y" on a board of side `size`, nothing else.
bool isMove(const std::string& reply, int size);

// A host path as the brain under test names it (under Wine the host's root is drive Z:).
inline std::string brainPath(std::string path) {
#ifdef VELMARO_WINE
  path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  return path;
}

// A fresh empty folder under the system's temporary folder, removed with its contents at the end.
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
void writeFile(const std::string& path, const std::string& bytes);
inline bool fileExists(const std::string& path) {
  return std::filesystem::exists(path);
}
inline long fileSize(const std::string& path) {  // -1 when there is no such file
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<long>(size);
}
// What is below `root` but the file `leaveOut`: the relative names, sorted, joined by blanks, a
// folder's with a trailing "/". Every folder is expected to have what the umask leaves of 0777.
std::string listTree(const std::string& root, const std::string& leaveOut = "");
// A field of a process's status in /proc, in kB (VmHWM: its peak resident memory); -1 if none.
long procStatusKb(int pid, const std::string& field);

}  // namespace testing_support
