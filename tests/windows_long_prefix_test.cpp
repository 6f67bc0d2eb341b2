// The "\\?\\" prefix before an absolute path, end to end. Skipped elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace {

// "\\?\\" before an absolute path, the way past 260 characters: a run with it
// writes exactly what the same run with the plain path writes.
struct PrefixCase {
  const char* name;
  bool prefixedInput;
  const wchar_t* folder;  // below the test folder; nullptr: the default one
  bool prefixedFolder;
  const char* lastPiece;  // as snapshot names it
};

void PrintTo(const PrefixCase& c, std::ostream* out) { *out << c.name; }

class WindowsLongPrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(WindowsLongPrefixTest, SplitsAsThePlainPathDoes) {
  SKIP_UNLESS_WINDOWS() << ": the \\\\?\\ prefix is the Windows API's";
  const PrefixCase& c = GetParam();
  TempDir plain, prefixed;
  std::map<std::string, std::string> written[2];
  for (const bool prefix : {false, true}) {
    const TempDir& dir = prefix ? prefixed : plain;
    writeFile(dir / L"in.bin", patternBytes(2 * kMiB + 7, 11));
    const std::wstring lead = L"\\\\?\\" + dir.wide() + L"\\";
    std::vector<std::wstring> arguments{(prefix && c.prefixedInput ? lead : L"") + L"in.bin", L"1"};
    if (c.folder != nullptr)
      arguments.push_back((prefix && c.prefixedFolder ? lead : L"") + c.folder);
    RunOptions options;
    options.workingFolder = dir.wide();
    const RunResult result = runFilesplit(arguments, options);
    EXPECT_EQ(result.exitCode, split_exit::kSuccess) << result.out;
    const std::wstring folderLine =
        c.folder != nullptr ? L"Output Folder: " + arguments[2] + L"\n" : L"";
    EXPECT_EQ(result.out, consoleBytes(L"File: " + arguments[0] + L"\nDivide size: 1MB\n" +
                                       folderLine + L"Dividing.....\n..."));
    written[prefix] = snapshot(dir.wide());
  }
  EXPECT_TRUE(sameFiles(written[1], written[0]));
  EXPECT_EQ(written[1].count(c.lastPiece), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WindowsLongPrefixTest,
    ::testing::Values(PrefixCase{"InputDefaultFolder", true, nullptr, false, "in/in.bin_3"},
                      PrefixCase{"InputGivenFolder", true, L"out", false, "out/in.bin_3"},
                      PrefixCase{"FolderOfTwoNewLevels", false, L"out\\deeper", true,
                                 "out/deeper/in.bin_3"},
                      PrefixCase{"InputAndFolder", true, L"out", true, "out/in.bin_3"}),
    [](const auto& info) { return std::string(info.param.name); });

// An input name no file can have here, reachable only through the prefix:
// refused, as the rebuilt file could not take it.
TEST(WindowsLongPrefixTest, SplitterRefusesATrailingDot) {
  SKIP_UNLESS_WINDOWS() << ": a plain name elsewhere";
  TempDir dir;
  RunOptions options;
  options.workingFolder = dir.wide();
  const std::wstring input =
      L"\\\\?\\" + platform::widePath(std::filesystem::absolute(dir.native()) / "out.");
  writeFile(input, patternBytes(kMiB + 3, 4));
  const RunResult result = runFilesplit({input, L"1", L"out"}, options);
  // Only the \\?\ path removes it: the folder's removal would not.
  std::error_code ignored;
  std::filesystem::remove(platform::nativePath(input), ignored);
  EXPECT_EQ(result.exitCode, split_exit::kFailed);
  const std::string line = consoleBytes(
      L"The file name \"out.\" is not one a file can have here, so the rebuilt file "
      L"could not take it; rename the input and split it again.");
  EXPECT_NE(("\n" + result.out).find("\n" + line), std::string::npos) << result.out;
  EXPECT_FALSE(std::filesystem::exists(dir.native() / "out"));
}

}  // namespace
