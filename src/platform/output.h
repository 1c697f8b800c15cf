// Standard output, shared by the command loop and the worker thread. Each
// call writes one whole line and flushes it under one lock, so lines of the
// two threads never interleave. Output that can no longer be written (the
// manager closed its end) ends the process with exit code 0, as the end of
// input does: nobody is left to read a reply.
#pragma once

namespace platform {

// Writes text followed by a line feed, then flushes.
void writeOutputLine(const char* text);

}  // namespace platform
