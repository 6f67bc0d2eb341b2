#pragma once

#include <string>

/// Widens a narrow text in the system's active code page (up to its first
/// NUL) for the console. Throws std::system_error, with the system's code,
/// when the conversion fails.
std::wstring toWide(const char* text);

/// The line that stands for a text that could not be converted.
extern const wchar_t kUnshowableText[];

/// Like toWide, but never throws: when the text cannot be converted, a fixed
/// English line saying so takes its place. For the last-resort handlers.
std::wstring printableText(const char* text);
