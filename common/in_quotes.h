// How every line the tools print names a file (or quotes what the user typed).
#pragma once

#include <string>

/// `text` between double quotes.
inline std::wstring inQuotes(const std::wstring& text) { return L"\"" + text + L"\""; }
