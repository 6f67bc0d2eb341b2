// MultiByteToWideChar and GetLastError for the code page the core uses:
// CP_ACP (here, the encoding of file names, with bytes that do not decode
// carried as U+DC80..U+DCFF) to wide. UTF-8 has its own codec (utf8.h).
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "native_text.h"
#include "platform/platform.h"

namespace {

thread_local DWORD lastError = 0;

int fail(DWORD error) {
  lastError = error;
  return 0;
}

// Copies `result` into the caller's buffer, or only tells its length when
// there is no buffer, the way both conversion calls report.
template <typename Char>
int deliver(const std::basic_string<Char>& result, Char* out, int outLength) {
  const int needed = static_cast<int>(result.size());
  if (outLength == 0) return needed;
  if (out == nullptr || outLength < 0) return fail(ERROR_INVALID_PARAMETER);
  if (outLength < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
  // Like the Windows calls, no terminator is added beyond the counted text.
  std::copy(result.begin(), result.end(), out);
  return needed;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH text, int length, LPWSTR wide,
                        int wideLength) {
  if (codePage != CP_ACP) return fail(ERROR_INVALID_PARAMETER);
  if (!platform::goAhead(platform::FaultPoint::textConversion))
    return fail(static_cast<DWORD>(errno));
  if (flags != 0) return fail(ERROR_INVALID_FLAGS);
  if (text == nullptr || length < -1 || length == 0 || wideLength < 0)
    return fail(ERROR_INVALID_PARAMETER);
  // With -1 the terminator is converted and counted too.
  const size_t byteCount = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
  return deliver(posix_text::decode(text, byteCount), wide, wideLength);
}

DWORD GetLastError() { return lastError; }
