// The rules for ASCII letters that Windows applies to names and paths, kept
// the same on every platform.
#pragma once

#include <string>

namespace ascii_letters {

/// Whether `c` is an ASCII letter.
constexpr bool isLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

/// `c` with an ASCII capital made small; every other character as it is.
constexpr wchar_t lowerCase(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

/// Whether `path` starts with a drive: an ASCII letter and a colon ("C:").
inline bool startsWithDrive(const std::wstring& path) {
  return path.size() >= 2 && isLetter(path[0]) && path[1] == L':';
}

}  // namespace ascii_letters
