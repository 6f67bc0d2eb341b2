// The fixture of filesplit's end-to-end tests (split_test.cpp,
// split_failures_test.cpp): the real binary in a temp folder, and the lines
// it prints before its dots.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "process.h"
#include "temp_dir.h"
#include "texts/split_texts.h"

// The constants are not inline: each test file has its own copy, and
// join_fixture.h has a kHeader of its own.

/// The usage text after a failure.
const std::wstring kUsage = split_texts::usage(L"filesplit");

/// The settings lines and the line before the dots.
inline std::wstring settings(const std::wstring& file, const std::wstring& sizeMb,
                             const std::optional<std::wstring>& folder = std::nullopt) {
  return split_texts::settings(file, sizeMb, folder) + split_texts::kDividing + L"\n";
}

/// A row of the sizes table (split_test.cpp).
struct SplitCase {
  const char* name;
  uint64_t inputSize;
  bool sparse;  // zeros, made without writing them
  const wchar_t* sizeMb;
  std::vector<uint64_t> pieceSizes;
  size_t dots;
  std::string md5;
};

inline void PrintTo(const SplitCase& c, std::ostream* out) { *out << c.name; }

/// A split in a fresh temp folder; a row of the sizes table as its
/// parameter.
class SplitTest : public ::testing::TestWithParam<SplitCase> {
 protected:
  RunResult split(const std::vector<std::wstring>& arguments, const RunOptions& extra = {}) {
    RunOptions options = extra;
    options.workingFolder = dir.wide();
    return runFilesplit(arguments, options);
  }
  TempDir dir;
};

/// The settings lines of in.bin split by 1 MB into out.
const std::wstring kHeader = settings(L"in.bin", L"1", L"out");
