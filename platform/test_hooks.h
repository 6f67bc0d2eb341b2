// Switches for tests only; a normal run never turns them.
#pragma once

#include <cstdint>

namespace platform_test_hooks {

/// Makes the MD5 provider report `length` as its digest length (0: its true
/// one). False where the platform's provider cannot be faked.
bool fakeDigestLength(uint32_t length);

}  // namespace platform_test_hooks
