// Hints to the operating system about large memory regions.
//
// The engine object holds two result tables of about 190 MB that are cleared
// at the start of every game. Backed by ordinary 4 KB pages, the first clear
// costs tens of thousands of page faults; asking for huge pages cuts that to
// a few hundred. The hint never changes what the memory holds.
#pragma once

#include <cstddef>

namespace platform {

// Asks for huge pages behind the whole pages inside [start, start + bytes).
// Does nothing where the system has no such hint or refuses it.
void adviseHugePages(void* start, std::size_t bytes);

}  // namespace platform
