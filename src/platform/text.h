// Comparisons of ASCII text without regard to letter case, with the
// semantics of the C runtime's _strnicmp and _stricmp (negative, zero or
// positive; independent of the process locale).
#pragma once

#include <cstddef>

namespace platform {

int compareNoCase(const char* a, const char* b);
int compareNoCase(const char* a, const char* b, std::size_t n);

}  // namespace platform
