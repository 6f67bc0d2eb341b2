#include "native_text.h"

#include <climits>
#include <cwchar>

namespace posix_text {

bool encode(const std::wstring& wide, std::string& bytes) {
  bytes.clear();
  bytes.reserve(wide.size());
  std::mbstate_t state{};
  char unit[MB_LEN_MAX];
  for (const wchar_t c : wide) {
    const size_t n = std::wcrtomb(unit, c, &state);
    if (n == static_cast<size_t>(-1)) return false;
    bytes.append(unit, n);
  }
  return true;
}

std::wstring decodeLossy(const char* bytes, size_t length) {
  std::wstring wide;
  wide.reserve(length);
  std::mbstate_t state{};
  size_t at = 0;
  while (at < length) {
    wchar_t c;
    const size_t n = std::mbrtowc(&c, bytes + at, length - at, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      wide.push_back(L'\xFFFD');  // skip one byte and start afresh
      state = std::mbstate_t{};
      ++at;
      continue;
    }
    wide.push_back(c);
    at += (n == 0) ? 1 : n;
  }
  return wide;
}

bool decodeExactly(const std::string& bytes, std::wstring& wide) {
  wide.clear();
  std::mbstate_t state{};
  size_t at = 0;
  while (at < bytes.size()) {
    wchar_t c;
    const size_t n = std::mbrtowc(&c, bytes.data() + at, bytes.size() - at, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0) return false;
    wide.push_back(c);
    at += n;
  }
  std::string again;
  return encode(wide, again) && again == bytes;
}

}  // namespace posix_text
