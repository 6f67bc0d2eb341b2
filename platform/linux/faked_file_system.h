// What tests have asked the Linux file-system queries to answer, in place
// of the system (test builds only: elsewhere the system always answers).
#pragma once

#include <sys/vfs.h>

#include <cstdint>

namespace posix_test_hooks {

#if FILESPLIT_FAULT_INJECTION
/// Fills `info` with the file-system type a test gave; false when none.
bool fakedStatfs(struct statfs& info);

/// Sets the alignments past the cache a test gave (statx STATX_DIOALIGN);
/// false when none.
bool fakedDirectAlignment(uint32_t& offset, uint32_t& memory);
#else
inline bool fakedStatfs(struct statfs&) { return false; }
inline bool fakedDirectAlignment(uint32_t&, uint32_t&) { return false; }
#endif

}  // namespace posix_test_hooks
