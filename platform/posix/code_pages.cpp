// MultiByteToWideChar, WideCharToMultiByte and GetLastError for the code
// pages the core uses: CP_ACP (here, the C library's current encoding) to
// wide, and wide to CP_UTF8.
#include <algorithm>
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

// Wide text as UTF-8; what is no Unicode scalar value becomes U+FFFD.
void appendUtf8(std::string& out, uint32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
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
  const int planned = platform::injectedFault(platform::FaultPoint::textConversion).error;
  if (planned != 0) return fail(static_cast<DWORD>(planned));
  if (flags != 0) return fail(ERROR_INVALID_FLAGS);
  if (text == nullptr || length < -1 || length == 0 || wideLength < 0)
    return fail(ERROR_INVALID_PARAMETER);
  // With -1 the terminator is converted and counted too.
  const size_t byteCount = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
  return deliver(posix_text::decodeLossy(text, byteCount), wide, wideLength);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideLength, LPSTR bytes,
                        int byteLength, LPCCH defaultChar, LPBOOL usedDefaultChar) {
  if (codePage != CP_UTF8 || defaultChar != nullptr || usedDefaultChar != nullptr)
    return fail(ERROR_INVALID_PARAMETER);
  if (flags != 0) return fail(ERROR_INVALID_FLAGS);
  if (wide == nullptr || wideLength < -1 || wideLength == 0 || byteLength < 0)
    return fail(ERROR_INVALID_PARAMETER);
  const size_t count = wideLength == -1 ? std::wcslen(wide) + 1 : static_cast<size_t>(wideLength);
  std::string utf8;
  utf8.reserve(count);
  for (size_t i = 0; i < count; ++i) appendUtf8(utf8, static_cast<uint32_t>(wide[i]));
  return deliver(utf8, bytes, byteLength);
}

DWORD GetLastError() { return lastError; }
