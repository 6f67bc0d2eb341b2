// Switches that only tests turn; a release run never touches them.
#pragma once

#include <cstdint>

namespace posix_test_hooks {

/// The digest length the MD5 provider reports; 0 means the true one.
uint32_t fakedDigestLength();
void setFakedDigestLength(uint32_t length);

}  // namespace posix_test_hooks
