// The system's text for an error number, from the GNU C library.
#include <cstring>

#include "platform/platform.h"
#include "platform/unix/native_text.h"

namespace platform {

std::wstring systemErrorText(int errnum) {
  char text[256] = {};
  // The GNU strerror_r returns its text, which may not be in our buffer.
  const char* reason = strerror_r(errnum, text, sizeof text);
  return posix_text::decode(reason, std::strlen(reason));
}

}  // namespace platform
