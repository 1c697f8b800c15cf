// The one way to write a protocol line: printf-style text, a line feed and a
// flush, as one unit (lines of the two threads never interleave).
#pragma once

void pipeOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
