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

struct UnsupportedRule {
  int bit;
  const char* error;
};

// In the order START has always checked them.
constexpr UnsupportedRule kUnsupportedRules[] = {
    {1, "ERROR unsupported game type exact 5"},
    {4, "ERROR unsupported game type renju"},
    {2, "ERROR unsupported game type continuous"},
    {8, "ERROR unsupported game type caro"},
};

// Replies are short; a longer text is cut, never overrun.
constexpr int kMaxReplyLength = 1024;

}  // namespace

const char* unsupportedRuleError(int rule) {
  for (const UnsupportedRule& r : kUnsupportedRules)
    if ((rule & r.bit) != 0) return r.error;
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
