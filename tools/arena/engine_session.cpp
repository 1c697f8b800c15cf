#include "engine_session.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <utility>

namespace arena {

namespace {

// The shell's exit codes for a command it could not run.
constexpr int kShellCannotExecute = 126;
constexpr int kShellNotFound = 127;
// ChildProcess reports a death by signal S as exit code kSignalBase + S.
constexpr int kSignalBase = 128;

bool startsWithWord(const std::string& line, const char* word) {
  const std::size_t n = std::char_traits<char>::length(word);
  return line.size() >= n && strncasecmp(line.c_str(), word, n) == 0;
}

std::string trimmed(const std::string& text) {
  std::size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

// Reads an optionally signed decimal integer at text[i], skipping blanks
// before it.
bool readInt(const std::string& text, std::size_t& i, int& value) {
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::size_t digits = 0;
  long long v = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    if (++digits > 6) return false;
    v = v * 10 + (text[i++] - '0');
  }
  if (digits == 0) return false;
  value = static_cast<int>(negative ? -v : v);
  return true;
}

}  // namespace

bool isInfoLine(const std::string& line) {
  return trimmed(line).empty() || startsWithWord(line, "MESSAGE") ||
         startsWithWord(line, "DEBUG") || startsWithWord(line, "SUGGEST");
}

bool isErrorLine(const std::string& line) {
  return startsWithWord(trimmed(line), "ERROR");
}

bool parseMoveReply(const std::string& line, int& x, int& y) {
  std::size_t i = 0;
  if (!readInt(line, i, x)) return false;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i >= line.size() || line[i] != ',') return false;
  ++i;
  if (!readInt(line, i, y)) return false;
  return trimmed(line.substr(i)).empty();
}

std::string aboutName(const std::string& line) {
  const std::string key = "name=\"";
  std::size_t at = line.find(key);
  if (at == std::string::npos) return "";
  at += key.size();
  std::size_t end = line.find('"', at);
  if (end == std::string::npos) return "";
  return line.substr(at, end - at);
}

EngineSession::EngineSession(int index, std::string command, std::string dataFolder, bool show,
                             std::vector<std::string> extraInfo)
    : index(index),
      command(std::move(command)),
      dataFolder(std::move(dataFolder)),
      name(this->command),
      show(show),
      extraInfo(std::move(extraInfo)) {}

bool EngineSession::send(const std::string& line) {
  if (broken) return false;
  if (!process.writeLine(line)) broken = true;
  return !broken;
}

EngineReply EngineSession::awaitReply(int waitMs, long long since) {
  EngineReply reply;
  std::string line;
  for (;;) {
    long long left = since + waitMs - tools::nowMs();
    if (left < 0) left = 0;
    if (!process.readLine(line, static_cast<int>(left))) {
      reply.status = process.timedOut() ? ReplyStatus::kTimeout : ReplyStatus::kClosed;
      reply.ms = tools::nowMs() - since;
      if (reply.status == ReplyStatus::kClosed) broken = true;
      return reply;
    }
    if (isInfoLine(line)) {
      if (trimmed(line).empty()) continue;
      infoLines.push_back(line);
      if (onInfoLine) onInfoLine(line);
      if (show) std::printf("  [engine %d] %s\n", index + 1, line.c_str());
      continue;
    }
    reply.status = ReplyStatus::kLine;
    reply.text = line;
    reply.ms = tools::nowMs() - since;
    return reply;
  }
}

bool EngineSession::ensureRunning() {
  // A brain may have ended after its last reply (a fatal error is written
  // as a line and followed by exit): that one is started afresh too.
  int code = 0;
  if (process.running() && !broken && !process.waitExit(0, code)) {
    startedNow = false;
    return true;
  }
  startedNow = true;
  broken = false;
  known = 0;
  if (!process.startShell(command)) {
    broken = true;
    failure = "it could not be started (no process)";
    return false;
  }
  if (!launchedOnce) {
    launchedOnce = true;
    EngineReply about;
    about.status = ReplyStatus::kClosed;
    if (send("ABOUT")) about = awaitReply(kSetupReplyMs, tools::nowMs());
    if (about.status == ReplyStatus::kClosed) {
      failure = launchFailure();
      return false;
    }
    if (about.status == ReplyStatus::kLine) {
      std::string found = aboutName(about.text);
      if (!found.empty()) name = found;
    }
  }
  return true;
}

std::string EngineSession::launchFailure() {
  broken = true;
  int code = 0;
  if (!process.waitExit(kExitWaitMs, code)) {
    process.kill();
    return "it closed its output before answering ABOUT";
  }
  if (process.exitedBySignal()) {
    return "it ended by signal " + std::to_string(code - kSignalBase) + " before answering ABOUT";
  }
  if (code == kShellNotFound) return "the command was not found (exit code 127)";
  if (code == kShellCannotExecute) return "the command cannot be executed (exit code 126)";
  return "it ended before answering ABOUT (exit code " + std::to_string(code) + ")";
}

SetupResult EngineSession::sendStart(const GameSettings& settings) {
  SetupResult result;
  if (!send("START " + std::to_string(settings.size))) {
    result.ok = false;
    result.reason = EndReason::kCrash;
    result.detail = "crashed before START (" + exitDescription() + ")";
    return result;
  }
  EngineReply reply = awaitReply(kSetupReplyMs, tools::nowMs());
  if (reply.status == ReplyStatus::kLine && strcasecmp(trimmed(reply.text).c_str(), "OK") == 0) {
    return result;
  }
  result.ok = false;
  if (reply.status == ReplyStatus::kClosed) {
    result.reason = EndReason::kCrash;
    result.detail = "crashed after START (" + exitDescription() + ")";
  } else if (reply.status == ReplyStatus::kTimeout) {
    result.detail = "did not answer START";
    abandon();
  } else {
    result.detail = "answered START with \"" + reply.text + "\"";
  }
  return result;
}

SetupResult EngineSession::prepareGame(const GameSettings& settings) {
  known = 0;
  SetupResult result;
  if (!ensureRunning()) {
    result.ok = false;
    result.reason = EndReason::kCrash;
    result.detail = "could not be started";
    return result;
  }
  result = sendStart(settings);
  if (!result.ok && result.reason == EndReason::kCrash && !startedNow) {
    // It died between games, perhaps just after its last reply: once more
    // with a fresh process.
    if (!ensureRunning()) return result;
    result = sendStart(settings);
  }
  if (!result.ok) return result;
  send("INFO timeout_turn " + std::to_string(settings.turnMs));
  send("INFO timeout_match " + std::to_string(settings.matchMs));
  send("INFO max_memory " + std::to_string(settings.maxMemory));
  send("INFO rule 0");
  send("INFO folder " + dataFolder);
  for (const std::string& line : extraInfo) send("INFO " + line);
  return result;
}

EngineReply EngineSession::requestMove(const std::vector<RecordedMove>& moves, int ownParity,
                                       int timeLeftMs, int waitMs) {
  bool sent = send("INFO time_left " + std::to_string(timeLeftMs));
  if (known == 0 && moves.empty()) {
    sent = sent && send("BEGIN");
  } else if (known == 0) {
    sent = sent && send("BOARD");
    for (std::size_t i = 0; i < moves.size() && sent; ++i) {
      const int who = static_cast<int>(i % 2) == ownParity ? 1 : 2;
      sent = send(std::to_string(moves[i].x) + "," + std::to_string(moves[i].y) + "," +
                  std::to_string(who));
    }
    sent = sent && send("DONE");
  } else {
    sent = sent &&
           send("TURN " + std::to_string(moves.back().x) + "," + std::to_string(moves.back().y));
  }
  if (!sent) {
    EngineReply reply;
    reply.status = ReplyStatus::kClosed;
    return reply;
  }
  return awaitReply(waitMs, tools::nowMs());
}

void EngineSession::abandon() {
  process.kill();
  broken = true;
}

std::string EngineSession::exitDescription() {
  broken = true;
  int code = 0;
  if (!process.waitExit(kExitWaitMs, code)) {
    process.kill();
    return "closed its output";
  }
  if (process.exitedBySignal()) return "signal " + std::to_string(code - kSignalBase);
  return "exit code " + std::to_string(code);
}

void EngineSession::finish() {
  if (!process.running()) return;
  int code = 0;
  if (!broken && send("END") && process.waitExit(kEndGraceMs, code)) return;
  process.kill();
}

}  // namespace arena
