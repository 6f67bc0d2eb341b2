// The plan on real drive and backslash paths. Skipped elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "split/split_exit_codes.h"
#include "split/split_job.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace fs = std::filesystem;

namespace {

class WindowsPlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(dir.native());
    drive = dir.wide().substr(0, 2);  // "C:": the temp folder's drive
  }
  void TearDown() override { fs::current_path(previous_); }

  void expectOutputs(const std::wstring& base, const std::wstring& stemBase) {
    ASSERT_EQ(job.pieces.size(), 2u);
    EXPECT_EQ(job.pieces[0], base + L"_1");
    EXPECT_EQ(job.pieces[1], base + L"_2");
    EXPECT_EQ(job.scriptPath, stemBase + L".bat");
    EXPECT_EQ(job.digestPath, stemBase + L".md5");
    EXPECT_EQ(job.checkOutputs(), split_exit::kSuccess);
  }

  TempDir dir;
  std::wstring drive;
  std::wostringstream console;
  SplitJob job{console};

 private:
  fs::path previous_;
};

TEST_F(WindowsPlanTest, DriveAloneIsTheCurrentFolderOfThatDrive) {
  SKIP_UNLESS_WINDOWS();
  writeFile(L"aaa.iso", std::string(2 * kMiB, 'x'));
  ASSERT_EQ(job.plan(L"aaa.iso", drive.c_str(), kMiB), split_exit::kSuccess) << console.str();
  expectOutputs(drive + L"aaa.iso", drive + L"aaa");
}

TEST_F(WindowsPlanTest, DriveRelativeInputGetsItsFolderBesideIt) {
  SKIP_UNLESS_WINDOWS();
  writeFile(L"aaa.iso", std::string(2 * kMiB, 'x'));
  ASSERT_EQ(job.plan((drive + L"aaa.iso").c_str(), nullptr, kMiB), split_exit::kSuccess)
      << console.str();
  expectOutputs(drive + L"aaa\\aaa.iso", drive + L"aaa\\aaa");
  EXPECT_TRUE(fs::is_directory(dir.native() / "aaa"));
}

TEST_F(WindowsPlanTest, AbsoluteFolderWithTrailingBackslash) {
  SKIP_UNLESS_WINDOWS();
  writeFile(L"aaa.iso", std::string(2 * kMiB, 'x'));
  const std::wstring folder = dir.wide() + L"\\out\\";
  ASSERT_EQ(job.plan(L"aaa.iso", folder.c_str(), kMiB), split_exit::kSuccess) << console.str();
  expectOutputs(folder + L"aaa.iso", folder + L"aaa");
  EXPECT_TRUE(fs::is_directory(dir.native() / "out"));
}

TEST_F(WindowsPlanTest, BackslashFoldersAreCreatedLevelByLevel) {
  SKIP_UNLESS_WINDOWS();
  fs::create_directory(dir.native() / "data");
  writeFile(L"data\\aaa.iso", std::string(2 * kMiB, 'x'));
  ASSERT_EQ(job.plan(L"data\\aaa.iso", L"a\\b/c", kMiB), split_exit::kSuccess) << console.str();
  expectOutputs(L"a\\b/c\\aaa.iso", L"a\\b/c\\aaa");
  EXPECT_TRUE(fs::is_directory(dir.native() / "a" / "b" / "c"));
  SplitJob byDefault(console);
  ASSERT_EQ(byDefault.plan(L"data\\aaa.iso", nullptr, kMiB), split_exit::kSuccess) << console.str();
  EXPECT_EQ(byDefault.pieces[0], L"data\\aaa\\aaa.iso_1");
}

TEST_F(WindowsPlanTest, LongPathPrefixedInput) {
  SKIP_UNLESS_WINDOWS();
  writeFile(L"aaa.iso", std::string(2 * kMiB, 'x'));
  const std::wstring input = L"\\\\?\\" + dir.wide() + L"\\aaa.iso";
  ASSERT_EQ(job.plan(input.c_str(), nullptr, kMiB), split_exit::kSuccess) << console.str();
  expectOutputs(L"\\\\?\\" + dir.wide() + L"\\aaa\\aaa.iso",
                L"\\\\?\\" + dir.wide() + L"\\aaa\\aaa");
}

// A stem ending in blanks or dots, no folder given: the outputs go, under
// their own names, into the folder as the system names it (Windows drops a
// path's last name's trailing blanks and dots: "Holiday " is created as
// "Holiday"); the split ends 0 and a check finds its pieces whole.
struct TrailingStem {
  const char* name;
  const wchar_t* input;
  const wchar_t* windowsFolder;  // elsewhere the stem as it is
};

void PrintTo(const TrailingStem& c, std::ostream* out) { *out << c.name; }

class WindowsTrailingStemTest : public ::testing::TestWithParam<TrailingStem> {};

TEST_P(WindowsTrailingStemTest, SplitsIntoTheFolderAsNamedAndChecks) {
  const TrailingStem& c = GetParam();
  TempDir dir;
  RunOptions options;
  options.workingFolder = dir.wide();
  writeFile(dir / c.input, patternBytes(2 * kMiB + 1, 5));
  ASSERT_EQ(runFilesplit({c.input, L"1"}, options).exitCode, split_exit::kSuccess);
  const std::wstring stem = platform::widePath(platform::nativePath(c.input).stem());
  const std::wstring folder = windowsPlatform() ? c.windowsFolder : stem;
  EXPECT_EQ(listing(dir / folder).count(platform::nativePath(c.input).u8string() + "_3"), 1u);
  const RunResult check = runFilejoin({L"--check", folder + L"/" + stem + L".bat"}, options);
  EXPECT_EQ(check.exitCode, join_exit::kSuccess) << check.out;
}

INSTANTIATE_TEST_SUITE_P(
    Stems, WindowsTrailingStemTest,
    ::testing::Values(TrailingStem{"BlankBeforeTheExtension", L"Holiday .mp4", L"Holiday"},
                      TrailingStem{"DotAndBlankBeforeTheExtension", L"notes. .txt", L"notes"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
