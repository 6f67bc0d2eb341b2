// Writes of a file past the system cache on Windows, through the file's own
// handle, opened with no buffering and written through: whole sectors only,
// the last bytes padded to one and the file cut back after them.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform.h"
#if FILESPLIT_FAULT_INJECTION
#include "platform/test_hooks.h"
#endif

namespace unbuffered_writes {

/// The flags of a handle that writes past the cache.
constexpr DWORD kFlags = FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH;

/// A writer to the file open as `handle`, opened with kFlags on a volume of
/// sectors of `sector` bytes, from its first byte.
std::unique_ptr<platform::MediumWriter> open(HANDLE handle, uint32_t sector);

/// For a test's record: `handle` was opened with `flags`, on a volume of
/// sectors of `sector` bytes.
void recordOpen(DWORD flags, uint32_t sector);

#if FILESPLIT_FAULT_INJECTION
/// Where a test has the opens and writes recorded
/// (platform_test_hooks::recordMediumWrites); null: nowhere.
extern platform_test_hooks::MediumCalls* recording;
/// Where a writer made now starts in its file
/// (platform_test_hooks::startMediumWritesAt).
extern uint64_t firstOffset;
#endif

}  // namespace unbuffered_writes
