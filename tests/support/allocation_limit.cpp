// Replaces the program's operator new and operator delete, so that a test
// can refuse memory.
#include "allocation_limit.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {
std::atomic<size_t> refusedFrom{SIZE_MAX};
}

AllocationLimit::AllocationLimit(size_t bytes) { refusedFrom = bytes; }

AllocationLimit::~AllocationLimit() { refusedFrom = SIZE_MAX; }

// ThreadSanitizer's runtime defines these operators itself: under it no
// allocation is refused (its stage leaves out the row that needs one).
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define FILESPLIT_KEEP_RUNTIME_NEW 1
#endif
#endif
#ifndef FILESPLIT_KEEP_RUNTIME_NEW

namespace {

void* allocate(size_t size) {
  if (size >= refusedFrom) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void* allocateOrThrow(size_t size) {
  if (void* memory = allocate(size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

// Every form but the aligned ones, which keep the library's own pair.
void* operator new(size_t size) { return allocateOrThrow(size); }
void* operator new[](size_t size) { return allocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

#endif  // FILESPLIT_KEEP_RUNTIME_NEW
