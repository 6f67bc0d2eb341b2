// Writes of a file past the system cache on Windows: a handle of its own
// opened with no buffering and written through, for whole sectors only.
#pragma once

#include <memory>

#include "platform/platform.h"
#if FILESPLIT_FAULT_INJECTION
#include "platform/test_hooks.h"
#endif

namespace unbuffered_writes {

/// A writer past the cache to the file open as `handle`; null where the
/// volume's sector size cannot be told or does not divide
/// platform::kMediumAlignment, or where the handle cannot be opened (a
/// file system that refuses, a sharing rule).
std::unique_ptr<platform::MediumWriter> open(HANDLE handle);

#if FILESPLIT_FAULT_INJECTION
/// Where a test has the opens and writes recorded
/// (platform_test_hooks::recordMediumWrites); null: nowhere.
extern platform_test_hooks::MediumCalls* recording;
#endif

}  // namespace unbuffered_writes
