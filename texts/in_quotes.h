// How every line the tools print names a file (or quotes what the user typed).
#pragma once

#include <string>

#include "platform/platform.h"

/// `text` between double quotes, its control characters escaped
/// (platform::escapeControls), so that a name never drives the terminal.
inline std::wstring inQuotes(const std::wstring& text) {
  return L"\"" + platform::escapeControls(text) + L"\"";
}
