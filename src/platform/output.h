// Standard output, shared by the command loop and the worker thread. Each
// call writes one whole line and flushes it under one lock, so lines of the
// two threads never interleave.
#pragma once

namespace platform {

// Writes text followed by a line feed, then flushes.
void writeOutputLine(const char* text);

}  // namespace platform
