#include "native_text.h"

#include <langinfo.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace posix_text {
namespace {

constexpr uint32_t kEscapeBase = 0xDC00;

bool isEscape(wchar_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

bool isSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The length of the well-formed UTF-8 character at `bytes` (of `length`),
// stored in `c`; 0 when none starts there (a stray or truncated sequence,
// an overlong form, a surrogate, a value past U+10FFFF).
size_t utf8Character(const unsigned char* bytes, size_t length, wchar_t& c) {
  const unsigned lead = bytes[0];
  if (lead < 0x80) {
    c = static_cast<wchar_t>(lead);
    return 1;
  }
  size_t count = 0;
  uint32_t value = 0;
  unsigned low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    count = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    count = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong form
    if (lead == 0xED) high = 0x9F;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    count = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // no overlong form
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (length < count) return 0;
  for (size_t i = 1; i < count; ++i) {
    const unsigned byte = bytes[i];
    if (byte < low || byte > high) return 0;
    low = 0x80;
    high = 0xBF;
    value = value << 6 | (byte & 0x3F);
  }
  c = static_cast<wchar_t>(value);
  return count;
}

// The length of the character at `bytes` in the locale's encoding, from its
// initial state (the locales' encodings keep no state between characters),
// stored in `c`; 0 when none starts there, or when it is a surrogate (it
// would pass for an escape) or would not encode back to the same bytes.
size_t localeCharacter(const char* bytes, size_t length, wchar_t& c) {
  std::mbstate_t state{};
  const size_t n = std::mbrtowc(&c, bytes, length, &state);
  if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) return 0;
  const size_t used = n == 0 ? 1 : n;  // a NUL byte
  if (isSurrogate(c)) return 0;
  char unit[MB_LEN_MAX];
  std::mbstate_t back{};
  const size_t again = std::wcrtomb(unit, c, &back);
  if (again != used || std::memcmp(unit, bytes, used) != 0) return 0;
  return used;
}

// Appends the encoding of `c`; false when it has none.
bool appendCharacter(std::string& bytes, wchar_t c, bool utf8) {
  if (isEscape(c)) {
    bytes.push_back(static_cast<char>(static_cast<uint32_t>(c) - kEscapeBase));
    return true;
  }
  if (utf8) return appendUtf8(bytes, static_cast<uint32_t>(c));
  char unit[MB_LEN_MAX];
  std::mbstate_t state{};
  const size_t n = std::wcrtomb(unit, c, &state);
  if (n == static_cast<size_t>(-1)) return false;
  bytes.append(unit, n);
  return true;
}

}  // namespace

bool countsAsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  // glibc calls ASCII "ANSI_X3.4-1968"; other C libraries use the others.
  for (const char* name : {"UTF-8", "ANSI_X3.4-1968", "ASCII", "US-ASCII"})
    if (std::strcmp(codeset, name) == 0) return true;
  return false;
}

std::wstring decode(const char* bytes, size_t length) {
  const bool utf8 = countsAsUtf8();
  std::wstring wide;
  wide.reserve(length);
  size_t at = 0;
  while (at < length) {
    wchar_t c = 0;
    const size_t n =
        utf8 ? utf8Character(reinterpret_cast<const unsigned char*>(bytes) + at, length - at, c)
             : localeCharacter(bytes + at, length - at, c);
    if (n == 0) {  // this byte alone is escaped; decoding goes on after it
      wide.push_back(static_cast<wchar_t>(kEscapeBase + static_cast<unsigned char>(bytes[at])));
      ++at;
      continue;
    }
    wide.push_back(c);
    at += n;
  }
  return wide;
}

bool encode(const std::wstring& wide, std::string& bytes) {
  const bool utf8 = countsAsUtf8();
  bytes.clear();
  bytes.reserve(wide.size());
  for (const wchar_t c : wide)
    if (!appendCharacter(bytes, c, utf8)) return false;
  return decode(bytes.data(), bytes.size()) == wide;
}

std::string displayBytes(const wchar_t* begin, const wchar_t* end) {
  const bool utf8 = countsAsUtf8();
  std::string bytes;
  bytes.reserve(static_cast<size_t>(end - begin));
  for (const wchar_t* at = begin; at != end; ++at)
    if (isEscape(*at) || !appendCharacter(bytes, *at, utf8)) bytes.push_back('?');
  return bytes;
}

std::vector<std::wstring> decodeArguments(int argc, const char* const* argv) {
  std::vector<std::wstring> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(decode(argv[i], std::strlen(argv[i])));
  return arguments;
}

bool appendUtf8(std::string& out, uint32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
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
  return true;
}

}  // namespace posix_text
