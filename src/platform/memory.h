// Large memory: zeroed blocks of a chosen alignment, and hints to the
// operating system about them.
//
// The engine's objects and its result tables are megabytes of fixed-size
// arrays. They come from calloc, which maps fresh pages for blocks this
// large and gives them zeroed without writing them, so a block costs
// nothing until it is touched and no field is ever read undefined. calloc
// only promises the alignment of a plain type (16 bytes on x86-64), so the
// block is over-allocated and the address rounded up; the word before the
// aligned address remembers what calloc returned, for the release.
//
// Random probes into a table of hundreds of megabytes miss the processor's
// address translation cache on almost every probe; huge pages (2 MB) make
// those misses cheap. The price is paid at the first touch of each huge
// page: the system zeroes 2 MB at once, and may first have to compact memory
// to find them, which can hold the touching thread for hundreds of
// milliseconds. The hint never changes what the memory holds.
#pragma once

#include <cstddef>
#include <new>

namespace platform {

// `bytes` of zeroed memory aligned to `alignment` (a power of two); null
// when the system has not that much. Released by freeZeroed only.
void* allocateZeroed(std::size_t bytes, std::size_t alignment);
// Releases a block of allocateZeroed; null does nothing.
void freeZeroed(void* block) noexcept;

// Asks for huge pages behind the whole pages inside [start, start + bytes).
// Does nothing where the system has no such hint or refuses it.
void adviseHugePages(void* start, std::size_t bytes);

// A base for classes whose objects live on the heap in zeroed memory of
// their own alignment (members declared alignas(32), say), whichever form
// of new creates them. Adds nothing to the object.
struct ZeroedOnHeap {
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, std::align_val_t alignment);
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void* operator new(std::size_t size, std::align_val_t alignment,
                            const std::nothrow_t&) noexcept;
  static void operator delete(void* block) noexcept;
  static void operator delete(void* block, std::align_val_t) noexcept;
};

}  // namespace platform
