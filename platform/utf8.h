// The one UTF-8 codec of both tools: strict in what it reads (no overlong
// form, no encoded surrogate, nothing past U+10FFFF, no sequence cut short),
// exact in what it writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace utf8 {

/// The length of the well-formed UTF-8 character that starts at `bytes` (of
/// `length` bytes, `length` > 0), its scalar value stored in `code`; 0 when
/// none starts there: a stray or cut sequence, an overlong form, a
/// surrogate, a value past U+10FFFF.
size_t decodeCharacter(const unsigned char* bytes, size_t length, uint32_t& code);

/// The `length` bytes at `bytes` as wide text (UTF-16 where wchar_t has 16
/// bits). False, `wide` unspecified, when they are not well-formed UTF-8.
bool decode(const char* bytes, size_t length, std::wstring& wide);

/// Appends the UTF-8 of the Unicode scalar value `code`. False, appending
/// nothing, when `code` is none (a surrogate, or past U+10FFFF).
bool appendCharacter(std::string& out, uint32_t code);

/// The UTF-8 of `wide` (UTF-16 where wchar_t has 16 bits); each unit that is
/// no scalar value (a lone surrogate) becomes U+FFFD.
std::string encode(const wchar_t* wide, size_t length);

}  // namespace utf8
