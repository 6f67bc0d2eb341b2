// Conversions between wide text and the bytes of file names, arguments and
// console output on POSIX systems, where a file name is any string of bytes.
//
// The bytes are in the locale's encoding, except that an ASCII-only locale
// (C, POSIX, or none set) counts as UTF-8: the system's names are almost
// always UTF-8, and ASCII is a part of it. A byte that does not decode is
// carried as the lone surrogate U+DC00 + byte (U+DC80..U+DCFF, as Python's
// "surrogateescape" does) and encodes back to that byte, so that every name
// reaches the system exactly as it came.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace posix_text {

/// Whether the current encoding counts as UTF-8: the locale's encoding is
/// UTF-8 or ASCII only.
bool countsAsUtf8();

/// `length` bytes as wide text; each byte that does not decode becomes
/// U+DC00 + the byte. Never fails; encode gives back exactly these bytes.
std::wstring decode(const char* bytes, size_t length);

/// Encodes `wide`, each of U+DC80..U+DCFF as its byte. Returns false,
/// leaving `bytes` unspecified, when a character has no encoding or when the
/// bytes would decode to other text (escapes that together make a
/// character): no decoding gives such a text, and it names no file, rather
/// than another one.
bool encode(const std::wstring& wide, std::string& bytes);

/// The characters from `begin` to `end` as the console shows them: encoded,
/// with "?" for each character that has no encoding and each byte that did
/// not decode.
std::string displayBytes(const wchar_t* begin, const wchar_t* end);

/// The `argc` arguments of main, decoded.
std::vector<std::wstring> decodeArguments(int argc, const char* const* argv);

}  // namespace posix_text
