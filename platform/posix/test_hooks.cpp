#include "test_hooks.h"

namespace posix_test_hooks {
namespace {
uint32_t digestLength = 0;
}

uint32_t fakedDigestLength() { return digestLength; }
void setFakedDigestLength(uint32_t length) { digestLength = length; }

}  // namespace posix_test_hooks
