#include "platform/utf8.h"

namespace utf8 {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

bool isHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

size_t decodeCharacter(const unsigned char* bytes, size_t length, uint32_t& code) {
  const unsigned lead = bytes[0];
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  size_t count = 0;
  uint32_t value = 0;
  // The second byte's range shuts out overlong forms, surrogates and values
  // past U+10FFFF; every later byte is 80..BF.
  unsigned low = 0x80;
  unsigned high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    count = 2;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    count = 3;
    value = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    count = 4;
    value = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (length < count) return 0;
  for (size_t i = 1; i < count; ++i) {
    const unsigned byte = bytes[i];
    if (byte < low || byte > high) return 0;
    low = 0x80;
    high = 0xBF;
    value = value << 6 | (byte & 0x3Fu);
  }
  code = value;
  return count;
}

bool decode(const char* bytes, size_t length, std::wstring& wide) {
  wide.clear();
  wide.reserve(length);
  const auto* at = reinterpret_cast<const unsigned char*>(bytes);
  for (size_t done = 0; done < length;) {
    uint32_t code = 0;
    const size_t n = decodeCharacter(at + done, length - done, code);
    if (n == 0) return false;
    if (sizeof(wchar_t) == 2 && code > 0xFFFF) {
      wide.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      wide.push_back(static_cast<wchar_t>(code));
    }
    done += n;
  }
  return true;
}

bool appendCharacter(std::string& out, uint32_t code) {
  if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
  return true;
}

std::string encode(const wchar_t* wide, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    // wchar_t is 16 or 32 bits wide: nothing to sign-extend.
    uint32_t code = static_cast<uint32_t>(wide[i]);  // NOLINT(bugprone-signed-char-misuse)
    // Where wchar_t has 16 bits a character past the BMP is a surrogate pair.
    if (sizeof(wchar_t) == 2 && isHighSurrogate(code) && i + 1 < length &&
        isLowSurrogate(static_cast<uint32_t>(wide[i + 1]))) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint32_t>(wide[i + 1]) - 0xDC00);
      ++i;
    }
    if (!appendCharacter(out, code)) appendCharacter(out, kReplacement);
  }
  return out;
}

}  // namespace utf8
