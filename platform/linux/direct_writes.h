// Writes of a file past the system cache on Linux: O_DIRECT set on the file's
// own descriptor for whole sectors, and turned off again for the last bytes.
#pragma once

#include <memory>

#include "platform/platform.h"
#if FILESPLIT_FAULT_INJECTION
#include "platform/test_hooks.h"
#endif

namespace direct_writes {

/// A writer past the cache to the file open as `fd`; null where the file
/// system refuses O_DIRECT or does not say that it bypasses the cache.
std::unique_ptr<platform::MediumWriter> open(int fd);

#if FILESPLIT_FAULT_INJECTION
/// Where a test has the writes recorded (platform_test_hooks::recordMediumWrites);
/// null: nowhere.
extern platform_test_hooks::MediumCalls* recording;
#endif

}  // namespace direct_writes
