#include "platform/memory.h"

#include <cstdint>
#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace platform {

void* allocateZeroed(std::size_t bytes, std::size_t alignment) {
  // Room for the rounding and for the word that remembers calloc's address.
  if (alignment < alignof(void*)) alignment = alignof(void*);
  const std::size_t extra = alignment - 1 + sizeof(void*);
  if (bytes > SIZE_MAX - extra) return nullptr;
  void* raw = std::calloc(1, bytes + extra);
  if (raw == nullptr) return nullptr;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
  void* aligned = reinterpret_cast<void*>((first + alignment - 1) & ~(alignment - 1));
  static_cast<void**>(aligned)[-1] = raw;
  return aligned;
}

void freeZeroed(void* block) noexcept {
  if (block != nullptr) std::free(static_cast<void**>(block)[-1]);
}

void adviseHugePages(void* start, std::size_t bytes) {
#ifdef __linux__
  // madvise works on whole pages: round the start up and the end down.
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(start) + page - 1) & ~(page - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)start;
  (void)bytes;
#endif
}

void* ZeroedOnHeap::operator new(std::size_t size) {
  return operator new (size, std::align_val_t{__STDCPP_DEFAULT_NEW_ALIGNMENT__});
}

void* ZeroedOnHeap::operator new(std::size_t size, std::align_val_t alignment) {
  void* block = allocateZeroed(size, static_cast<std::size_t>(alignment));
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* ZeroedOnHeap::operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocateZeroed(size, __STDCPP_DEFAULT_NEW_ALIGNMENT__);
}

void* ZeroedOnHeap::operator new(std::size_t size, std::align_val_t alignment,
                                 const std::nothrow_t&) noexcept {
  return allocateZeroed(size, static_cast<std::size_t>(alignment));
}

void ZeroedOnHeap::operator delete(void* block) noexcept {
  freeZeroed(block);
}

void ZeroedOnHeap::operator delete(void* block, std::align_val_t) noexcept {
  freeZeroed(block);
}

}  // namespace platform
