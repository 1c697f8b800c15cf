#include "protocol/output.h"

#include <cstdarg>
#include <cstdio>

#include "platform/output.h"

namespace {

// Replies are short; a longer text is cut, never overrun.
constexpr int kMaxReplyLength = 1024;

}  // namespace

void pipeOut(const char* format, ...) {
  char line[kMaxReplyLength];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  platform::writeOutputLine(line);
}
