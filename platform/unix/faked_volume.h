// What tests have asked the file-system queries to answer, in place of the
// system (test builds only: elsewhere the system always answers).
#pragma once

#include <sys/statvfs.h>
#include <sys/vfs.h>

namespace posix_test_hooks {

#if FILESPLIT_FAULT_INJECTION
/// Fills `info` with the free-space answer a test gave; false when none.
bool fakedStatvfs(struct statvfs& info);

/// Makes the faked free-space answer count in blocks of `bytes` (1, the
/// default: the answer's numbers are bytes); its numbers are then counts of
/// such blocks. False where this build fakes nothing.
bool fakeBlockSize(unsigned long bytes);

/// Fills `info` with the file-system type a test gave; false when none.
bool fakedStatfs(struct statfs& info);

/// Sets the alignments past the cache a test gave (statx STATX_DIOALIGN);
/// false when none.
bool fakedDirectAlignment(uint32_t& offset, uint32_t& memory);
#else
inline bool fakedStatvfs(struct statvfs&) { return false; }
inline bool fakedStatfs(struct statfs&) { return false; }
inline bool fakedDirectAlignment(uint32_t&, uint32_t&) { return false; }
#endif

}  // namespace posix_test_hooks
