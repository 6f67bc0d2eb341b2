// Memory that cannot be had, for tests: the test program's operator new
// refuses large allocations while an AllocationLimit lives.
#pragma once

#include <cstddef>

class AllocationLimit {
 public:
  /// From now on every allocation through operator new of `bytes` or more
  /// throws std::bad_alloc.
  explicit AllocationLimit(size_t bytes);
  /// Lifts the limit.
  ~AllocationLimit();
  AllocationLimit(const AllocationLimit&) = delete;
  AllocationLimit& operator=(const AllocationLimit&) = delete;
};
