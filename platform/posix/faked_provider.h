// What tests have asked the MD5 provider stand-in to report.
#pragma once

#include <cstdint>

namespace posix_test_hooks {

/// The digest length to report instead of the true one; 0 for none.
uint32_t fakedDigestLength();

}  // namespace posix_test_hooks
