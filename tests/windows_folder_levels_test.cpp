// The roots and folder levels of Windows paths, which folder creation walks:
// text only, so tested on every platform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/path_levels.h"

namespace {

struct LevelCase {
  const char* name;
  std::wstring path;
  std::wstring root;
  std::vector<std::wstring> levels;  // the folders below the root, top first
};

void PrintTo(const LevelCase& c, std::ostream* out) { *out << c.name; }

class WindowsFolderLevelTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(WindowsFolderLevelTest, RootIsNeverALevel) {
  const LevelCase& c = GetParam();
  EXPECT_EQ(c.path.substr(0, windows_paths::rootLength(c.path)), c.root);
  EXPECT_EQ(windows_paths::folderLevels(c.path), c.levels);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, WindowsFolderLevelTest,
    ::testing::Values(
        LevelCase{"Relative", L"a/b\\c\\", L"", {L"a", L"a/b", L"a/b\\c"}},
        LevelCase{"DoubledSeparator", L"a\\\\b", L"", {L"a", L"a\\\\b"}},
        LevelCase{"DotsAreNoLevels", L"a\\.\\b\\..\\c", L"", {L"a", L"a\\.\\b", L"a\\.\\b\\..\\c"}},
        LevelCase{"CurrentDriveRoot", L"\\a", L"\\", {L"\\a"}},
        LevelCase{"Drive", L"C:\\a\\b", L"C:\\", {L"C:\\a", L"C:\\a\\b"}},
        LevelCase{"DriveRoot", L"C:\\", L"C:\\", {}},
        LevelCase{"DriveRelative", L"C:a\\b", L"C:", {L"C:a", L"C:a\\b"}},
        LevelCase{"DriveAlone", L"C:", L"C:", {}},
        LevelCase{"Share",
                  L"\\\\server\\share\\a\\b",
                  L"\\\\server\\share\\",
                  {L"\\\\server\\share\\a", L"\\\\server\\share\\a\\b"}},
        LevelCase{
            "ShareWithSlashes", L"//server/share/a", L"//server/share/", {L"//server/share/a"}},
        LevelCase{"ShareRoot", L"\\\\server\\share", L"\\\\server\\share", {}},
        LevelCase{"ShareRootWithSeparator", L"\\\\server\\share\\", L"\\\\server\\share\\", {}},
        LevelCase{"ServerAlone", L"\\\\server\\", L"\\\\server\\", {}},
        LevelCase{"LongDrive",
                  L"\\\\?\\C:\\a\\b\\",
                  L"\\\\?\\C:\\",
                  {L"\\\\?\\C:\\a", L"\\\\?\\C:\\a\\b"}},
        LevelCase{"LongDriveRoot", L"\\\\?\\C:\\", L"\\\\?\\C:\\", {}},
        LevelCase{"LongDriveAlone", L"\\\\?\\C:", L"\\\\?\\C:", {}},
        LevelCase{"LongSlashIsPartOfAName", L"\\\\?\\C:\\a/b", L"\\\\?\\C:\\", {L"\\\\?\\C:\\a/b"}},
        LevelCase{"LongShare",
                  L"\\\\?\\UNC\\server\\share\\a",
                  L"\\\\?\\UNC\\server\\share\\",
                  {L"\\\\?\\UNC\\server\\share\\a"}},
        LevelCase{"LongShareRoot", L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share", {}},
        LevelCase{"LongShareLowerCase",
                  L"\\\\?\\unc\\server\\share\\a",
                  L"\\\\?\\unc\\server\\share\\",
                  {L"\\\\?\\unc\\server\\share\\a"}},
        LevelCase{"LongFolderNamedLikeUnc",
                  L"\\\\?\\C:\\UNC\\a",
                  L"\\\\?\\C:\\",
                  {L"\\\\?\\C:\\UNC", L"\\\\?\\C:\\UNC\\a"}},
        LevelCase{"LongVolume",
                  L"\\\\?\\Volume{12ab}\\a",
                  L"\\\\?\\Volume{12ab}\\",
                  {L"\\\\?\\Volume{12ab}\\a"}},
        LevelCase{"Device", L"\\\\.\\C:\\a", L"\\\\.\\C:\\", {L"\\\\.\\C:\\a"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
