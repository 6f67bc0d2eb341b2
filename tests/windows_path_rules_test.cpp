// Windows' drive and share prefixes and backslashes in the path rules: names
// taken apart and joined. Skipped elsewhere.
#include <gtest/gtest.h>

#include "platform_facts.h"
#include "script/path_rules.h"

namespace {

struct RuleCase {
  const char* name;
  std::wstring path;
  std::wstring fileName;
  std::wstring stem;
  std::wstring removeFileName;
};

void PrintTo(const RuleCase& c, std::ostream* out) { *out << c.name; }

class WindowsPathRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(WindowsPathRuleTest, TakesPathsApart) {
  SKIP_UNLESS_WINDOWS();
  const RuleCase& c = GetParam();
  EXPECT_EQ(path_rules::fileName(c.path), c.fileName);
  EXPECT_EQ(path_rules::stem(c.path), c.stem);
  EXPECT_EQ(path_rules::removeFileName(c.path), c.removeFileName);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, WindowsPathRuleTest,
    ::testing::Values(
        RuleCase{"DriveAbsolute", L"D:\\out\\aaa.iso", L"aaa.iso", L"aaa", L"D:\\out\\"},
        RuleCase{"DriveRelative", L"D:aaa.iso", L"aaa.iso", L"aaa", L"D:"},
        RuleCase{"DriveRoot", L"D:\\aaa.iso", L"aaa.iso", L"aaa", L"D:\\"},
        RuleCase{"Backslashes", L"data\\sub\\aaa.iso", L"aaa.iso", L"aaa", L"data\\sub\\"},
        RuleCase{"MixedSeparators", L"data/sub\\aaa.tar.gz", L"aaa.tar.gz", L"aaa.tar",
                 L"data/sub\\"},
        RuleCase{"Share", L"\\\\server\\share\\dir\\aaa.iso", L"aaa.iso", L"aaa",
                 L"\\\\server\\share\\dir\\"},
        RuleCase{"ShareRoot", L"\\\\server\\share\\aaa.iso", L"aaa.iso", L"aaa",
                 L"\\\\server\\share\\"},
        RuleCase{"LongPathPrefix", L"\\\\?\\C:\\data\\aaa.iso", L"aaa.iso", L"aaa",
                 L"\\\\?\\C:\\data\\"}),
    [](const auto& info) { return std::string(info.param.name); });

struct JoinCase {
  const char* name;
  std::wstring folder;
  std::wstring joined;  // with "aaa.iso_1"
};

void PrintTo(const JoinCase& c, std::ostream* out) { *out << c.name; }

class WindowsJoinTest : public ::testing::TestWithParam<JoinCase> {};

TEST_P(WindowsJoinTest, AddsOneSeparatorWhereNeeded) {
  SKIP_UNLESS_WINDOWS();
  EXPECT_EQ(path_rules::join(GetParam().folder, L"aaa.iso_1"), GetParam().joined);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, WindowsJoinTest,
    ::testing::Values(JoinCase{"DriveAlone", L"D:", L"D:aaa.iso_1"},
                      JoinCase{"DriveRoot", L"D:\\", L"D:\\aaa.iso_1"},
                      JoinCase{"FolderWithSeparator", L"D:\\out\\", L"D:\\out\\aaa.iso_1"},
                      JoinCase{"FolderWithSlash", L"D:\\out/", L"D:\\out/aaa.iso_1"},
                      JoinCase{"FolderWithout", L"D:\\out", L"D:\\out\\aaa.iso_1"},
                      JoinCase{"Share", L"\\\\server\\share", L"\\\\server\\share\\aaa.iso_1"},
                      JoinCase{"ShareFolder", L"\\\\server\\share\\out\\",
                               L"\\\\server\\share\\out\\aaa.iso_1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowsPathRuleTest, DefaultFolderOfAShareInputIsBesideIt) {
  SKIP_UNLESS_WINDOWS();
  // What the plan does for no folder: the input's folder joined with its stem.
  const std::wstring input = L"\\\\server\\share\\dir\\aaa.iso";
  const std::wstring folder =
      path_rules::join(path_rules::removeFileName(input), path_rules::stem(input));
  EXPECT_EQ(folder, L"\\\\server\\share\\dir\\aaa");
  const std::wstring base = path_rules::join(folder, path_rules::fileName(input));
  EXPECT_EQ(path_rules::replaceExtension(base, L"bat"), L"\\\\server\\share\\dir\\aaa\\aaa.bat");
  EXPECT_EQ(path_rules::replaceExtension(base, L"md5"), L"\\\\server\\share\\dir\\aaa\\aaa.md5");
}

}  // namespace
