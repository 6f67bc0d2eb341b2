// Conversions between wide text and the C library's current multibyte
// encoding (the locale's; UTF-8 on usual systems), used for file names,
// arguments and console output on POSIX systems.
#pragma once

#include <string>

namespace posix_text {

/// Encodes `wide` in the current multibyte encoding. Returns false, leaving
/// `bytes` unspecified, when a character has no encoding there.
bool encode(const std::wstring& wide, std::string& bytes);

/// Decodes `bytes`. Returns false when they are not valid in the current
/// encoding or would not encode back to the same bytes (so a decoded name
/// always names the same file).
bool decodeExactly(const std::string& bytes, std::wstring& wide);

/// Decodes `bytes`, replacing what does not decode with U+FFFD.
std::wstring decodeLossy(const char* bytes, size_t length);

}  // namespace posix_text
