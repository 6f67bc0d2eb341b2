// To go: join_findings_test.cpp's last use, until its rows move. The texts
// are filejoin's catalogue's (texts/join_texts.h).
#pragma once

#include <string>

#include "texts/join_texts.h"

/// filejoin's usage text, with `program` as argument 0, as --help prints it.
inline std::wstring joinUsageLines(const std::wstring& program = L"filejoin") {
  return join_texts::usageLines(program);
}
