// How filejoin tells a failure of the file-system library: in its own words.
#pragma once

#include <filesystem>
#include <string>

#include "common/in_quotes.h"
#include "platform/platform.h"

/// A failed file-system query in filejoin's words: "Cannot use" and what it
/// was asked about (`what`, or the path of the query), then the system's
/// reason; never the library's text.
inline std::wstring inWords(const std::filesystem::filesystem_error& error,
                            const std::wstring& what = std::wstring()) {
  const int reason = error.code().default_error_condition().value();
  return L"Cannot use " + (what.empty() ? inQuotes(platform::widePath(error.path1())) : what) +
         L": " + platform::systemErrorText(reason);
}
