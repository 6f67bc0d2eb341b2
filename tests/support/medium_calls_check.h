// The rules every read or write past the cache keeps, checked on what the
// platform recorded (platform_test_hooks::MediumCalls).
#pragma once

#include <cstdint>

#include "platform/test_hooks.h"

/// Expects every recorded call made through a file bypassing the cache, to
/// move whole sectors (at least one) at a whole sector's offset from or into
/// a buffer aligned to a sector. Returns the bytes the calls asked for.
uint64_t expectWholeAlignedSectors(const platform_test_hooks::MediumCalls& calls);
