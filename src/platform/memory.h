// Hints to the operating system about large memory regions.
//
// Random probes into a table of hundreds of megabytes miss the processor's
// address translation cache on almost every probe; huge pages (2 MB) make
// those misses cheap. The price is paid at the first touch of each huge
// page: the system zeroes 2 MB at once, and may first have to compact memory
// to find them, which can hold the touching thread for hundreds of
// milliseconds. The hint never changes what the memory holds.
#pragma once

#include <cstddef>

namespace platform {

// Asks for huge pages behind the whole pages inside [start, start + bytes).
// Does nothing where the system has no such hint or refuses it.
void adviseHugePages(void* start, std::size_t bytes);

}  // namespace platform
