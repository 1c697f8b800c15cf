#include "protocol/session.h"

#include <cstdarg>
#include <cstdio>

#include "platform/output.h"

GameSettings gameSettings;

std::mutex& settingsLock() {
  // Never destroyed: the worker may still run while the process ends.
  static std::mutex* lock = new std::mutex;
  return *lock;
}

GameSettings copySettings() {
  std::lock_guard<std::mutex> hold(settingsLock());
  return gameSettings;
}

namespace {

// Replies are short; a longer text is cut, never overrun.
constexpr int kMaxReplyLength = 1024;

}  // namespace

const char* unsupportedRuleError(const GameSettings& s) {
  // In the order START has always checked them.
  if (s.info_exact5 == 1) return "ERROR unsupported game type exact 5";
  if (s.info_renju == 1) return "ERROR unsupported game type renju";
  if (s.info_continuous == 1) return "ERROR unsupported game type continuous";
  if (s.info_caro == 1) return "ERROR unsupported game type caro";
  return nullptr;
}

void pipeOut(const char* format, ...) {
  char line[kMaxReplyLength];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  platform::writeOutputLine(line);
}
