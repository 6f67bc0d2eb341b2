#include "platform/test_hooks.h"

#include "faked_provider.h"

namespace {
uint32_t digestLength = 0;
}

namespace posix_test_hooks {
uint32_t fakedDigestLength() { return digestLength; }
}  // namespace posix_test_hooks

namespace platform_test_hooks {
bool fakeDigestLength(uint32_t length) {
  digestLength = length;
  return true;
}

// The console writes the C library's encoding here, no code page.
bool pipeBytes(const std::wstring&, unsigned, std::string&) { return false; }
}  // namespace platform_test_hooks
