// What tests have asked the file-system queries to answer, in place of the
// system (test builds only: elsewhere the system always answers).
#pragma once

#include <sys/resource.h>
#include <sys/statvfs.h>

namespace posix_test_hooks {

#if FILESPLIT_FAULT_INJECTION
/// Fills `info` with the free-space answer a test gave; false when none.
bool fakedStatvfs(struct statvfs& info);

/// Fills `limit` with the file-size limit a test gave; false when none.
bool fakedFileSizeLimit(struct rlimit& limit);

/// Makes the faked free-space answer count in blocks of `bytes` (1, the
/// default: the answer's numbers are bytes); its numbers are then counts of
/// such blocks. False where this build fakes nothing.
bool fakeBlockSize(unsigned long bytes);
#else
inline bool fakedStatvfs(struct statvfs&) { return false; }
inline bool fakedFileSizeLimit(struct rlimit&) { return false; }
#endif

}  // namespace posix_test_hooks
