#include "native_text.h"

#include <langinfo.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "platform/utf8.h"

namespace posix_text {
namespace {

constexpr uint32_t kEscapeBase = 0xDC00;

bool isEscape(wchar_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

bool isSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; }

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
bool appendCharacter(std::string& bytes, wchar_t c, bool asUtf8) {
  if (isEscape(c)) {
    bytes.push_back(static_cast<char>(static_cast<uint32_t>(c) - kEscapeBase));
    return true;
  }
  if (asUtf8) return utf8::appendCharacter(bytes, static_cast<uint32_t>(c));
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
  const bool asUtf8 = countsAsUtf8();
  std::wstring wide;
  wide.reserve(length);
  size_t at = 0;
  while (at < length) {
    wchar_t c = 0;
    uint32_t code = 0;
    const size_t n = asUtf8
                         ? utf8::decodeCharacter(reinterpret_cast<const unsigned char*>(bytes) + at,
                                                 length - at, code)
                         : localeCharacter(bytes + at, length - at, c);
    if (asUtf8) c = static_cast<wchar_t>(code);
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
  const bool asUtf8 = countsAsUtf8();
  bytes.clear();
  bytes.reserve(wide.size());
  for (const wchar_t c : wide)
    if (!appendCharacter(bytes, c, asUtf8)) return false;
  return decode(bytes.data(), bytes.size()) == wide;
}

std::string displayBytes(const wchar_t* begin, const wchar_t* end) {
  const bool asUtf8 = countsAsUtf8();
  std::string bytes;
  bytes.reserve(static_cast<size_t>(end - begin));
  for (const wchar_t* at = begin; at != end; ++at)
    if (isEscape(*at) || !appendCharacter(bytes, *at, asUtf8)) bytes.push_back('?');
  return bytes;
}

std::vector<std::wstring> decodeArguments(int argc, const char* const* argv) {
  std::vector<std::wstring> arguments;
  arguments.reserve(static_cast<size_t>(argc > 0 ? argc : 0));
  for (int i = 0; i < argc; ++i) arguments.push_back(decode(argv[i], std::strlen(argv[i])));
  return arguments;
}

}  // namespace posix_text
