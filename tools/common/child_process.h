// ChildProcess: a program started with its standard input and output on
// pipes, as a Gomoku manager starts a brain. Lines are written with
// writeLine() and read back with readLine() under a time limit; the child's
// standard error goes to our own. Used by the match runner and the tests.
//
// Several threads may each drive their own ChildProcess objects: the child
// is started without touching the heap after fork(), and every pipe end is
// close-on-exec, so that one child never holds another child's pipe open.
// One process-wide cancel descriptor, when set, ends every readLine() at
// once as soon as it becomes readable (a match that stops now).
#pragma once

#include <string>
#include <vector>

namespace tools {

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Starts argv[0] with the given arguments in folder `workDir` (empty: the
  // current folder). A command given as one string is run through the
  // shell (startShell), so a manager's "engine command" may carry arguments.
  // The child gets a process group of its own, which kill() ends as a whole.
  // Starting an object that still runs a program kills that program first.
  bool start(const std::vector<std::string>& argv, const std::string& workDir = "");
  bool startShell(const std::string& command, const std::string& workDir = "");

  // Writes text and the line ending (CR LF by default, as managers send).
  bool writeLine(const std::string& text, const char* ending = "\r\n");
  bool writeRaw(const std::string& bytes);
  // Closes the child's standard input (end of input for the child).
  void closeInput();
  // Stops reading the child's standard output: its next write finds no
  // reader, as when a manager goes away.
  void closeOutput();

  // Reads one line (without CR/LF). False on time-out or end of output;
  // timedOut tells which. A readable cancel descriptor counts as a time-out.
  bool readLine(std::string& line, int timeoutMs);
  bool timedOut() const { return lastTimedOut; }

  // A descriptor that, once readable, ends every readLine() of every object
  // at once; -1 (the default) for none. Set before any reading starts.
  static void setCancelDescriptor(int fd);

  // Waits for the child to exit; true and its exit code when it did within
  // the time, otherwise false. exitedBySignal tells a crash.
  bool waitExit(int timeoutMs, int& exitCode);
  bool exitedBySignal() const { return bySignal; }
  void kill();
  bool running() const { return pid > 0 && !reaped; }
  int processId() const { return pid; }

 private:
  int pid = -1;
  int toChild = -1;
  int fromChild = -1;
  bool reaped = false;
  bool bySignal = false;
  bool lastTimedOut = false;
  int exitStatus = 0;
  std::string pending;  // bytes read past the last returned line
};

// Milliseconds on a monotonic clock.
long long nowMs();

}  // namespace tools
