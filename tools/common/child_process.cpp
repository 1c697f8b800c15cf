#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace tools {

namespace {

std::atomic<int> cancelFd{-1};

}  // namespace

void ChildProcess::setCancelDescriptor(int fd) {
  cancelFd.store(fd);
}

long long nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

ChildProcess::~ChildProcess() {
  if (running()) kill();
  if (toChild >= 0) close(toChild);
  if (fromChild >= 0) close(fromChild);
}

bool ChildProcess::start(const std::vector<std::string>& argv, const std::string& workDir) {
  if (argv.empty()) return false;
  // Starting again (a restart) ends the previous program first.
  if (running()) kill();
  closeInput();
  if (fromChild >= 0) close(fromChild);
  fromChild = -1;
  // Step 1. Everything the child needs, prepared before fork(): another
  // thread may hold the heap's lock at that moment, so the child must not
  // allocate.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const char* folder = workDir.empty() ? nullptr : workDir.c_str();
  sigset_t noSignals;
  sigemptyset(&noSignals);
  // Step 2. The pipes, close-on-exec from the start: a child started by
  // another thread meanwhile must not inherit them.
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return false;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return false;
  }
  // A child that dies must not kill us with SIGPIPE on the next write.
  signal(SIGPIPE, SIG_IGN);
  // Step 3. The child: its own process group, so that kill() also reaches
  // whatever the program starts in turn; the pipes as standard input and
  // output (dup2 clears close-on-exec on the copies); no blocked signals,
  // whatever the starting thread blocks.
  pid = fork();
  if (pid < 0) {
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    return false;
  }
  if (pid == 0) {
    setpgid(0, 0);
    sigprocmask(SIG_SETMASK, &noSignals, nullptr);
    // An ignored signal stays ignored across exec: the program gets SIGPIPE
    // back as a manager would start it, and handles it itself.
    signal(SIGPIPE, SIG_DFL);
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    if (in[0] == STDIN_FILENO) fcntl(STDIN_FILENO, F_SETFD, 0);
    if (out[1] == STDOUT_FILENO) fcntl(STDOUT_FILENO, F_SETFD, 0);
    if (folder != nullptr && chdir(folder) != 0) _exit(127);
    execvp(args[0], args.data());
    _exit(127);
  }
  setpgid(pid, pid);  // also here: the parent may signal before the child ran
  close(in[0]);
  close(out[1]);
  toChild = in[1];
  fromChild = out[0];
  reaped = false;
  bySignal = false;
  pending.clear();
  return true;
}

bool ChildProcess::startShell(const std::string& command, const std::string& workDir) {
  return start({"/bin/sh", "-c", "exec " + command}, workDir);
}

bool ChildProcess::writeRaw(const std::string& bytes) {
  if (toChild < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(toChild, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool ChildProcess::writeLine(const std::string& text, const char* ending) {
  return writeRaw(text + ending);
}

void ChildProcess::closeInput() {
  if (toChild >= 0) close(toChild);
  toChild = -1;
}

void ChildProcess::closeOutput() {
  if (fromChild >= 0) close(fromChild);
  fromChild = -1;
}

bool ChildProcess::readLine(std::string& line, int timeoutMs) {
  lastTimedOut = false;
  long long deadline = nowMs() + timeoutMs;
  for (;;) {
    std::size_t eol = pending.find('\n');
    if (eol != std::string::npos) {
      line = pending.substr(0, eol);
      pending.erase(0, eol + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    if (fromChild < 0) return false;
    long long left = deadline - nowMs();
    if (left <= 0) {
      lastTimedOut = true;
      return false;
    }
    pollfd p[2] = {{fromChild, POLLIN, 0}, {cancelFd.load(), POLLIN, 0}};
    int r = poll(p, p[1].fd >= 0 ? 2 : 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    if (p[1].fd >= 0 && (p[1].revents & POLLIN) != 0) {
      lastTimedOut = true;
      return false;
    }
    char buffer[4096];
    ssize_t n = read(fromChild, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fromChild);
      fromChild = -1;
      if (!pending.empty()) {  // a last line without its line feed
        line = pending;
        pending.clear();
        return true;
      }
      return false;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
  }
}

bool ChildProcess::waitExit(int timeoutMs, int& exitCode) {
  if (pid <= 0) return false;
  if (!reaped) {
    long long deadline = nowMs() + timeoutMs;
    for (;;) {
      int status = 0;
      pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        reaped = true;
        bySignal = WIFSIGNALED(status);
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (nowMs() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  exitCode = exitStatus;
  return true;
}

void ChildProcess::kill() {
  if (pid <= 0 || reaped) return;
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
  int code;
  waitExit(5000, code);
}

}  // namespace tools
