// What tests have asked the MD5 provider stand-in to report (test builds
// only: elsewhere the provider always reports its own).
#pragma once

#include <cstdint>

namespace posix_test_hooks {

#if FILESPLIT_FAULT_INJECTION
/// The digest length to report instead of the true one; 0 for none.
uint32_t fakedDigestLength();
#else
inline uint32_t fakedDigestLength() { return 0; }
#endif

}  // namespace posix_test_hooks
