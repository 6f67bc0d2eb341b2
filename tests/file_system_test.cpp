// The file-system queries and the folder creation on real files: the same
// answers and the same failures (operation, reason, path) on every platform,
// whichever calls stand behind them.
#include "fileio/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <system_error>

#include "in_process.h"
#include "platform/platform.h"
#include "platform_facts.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

// A folder with an empty file, a file of 5 bytes, an empty folder and a
// folder holding one file.
class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir / L"empty.bin", "");
    writeFile(dir / L"five.bin", "12345");
    fs::create_directory(dir.native() / "none");
    fs::create_directory(dir.native() / "one");
    writeFile(dir / L"one/x", "x");
  }
  TempDir dir;
  CurrentFolder here{dir.wide()};
};

TEST_F(FileSystemTest, Queries) {
  EXPECT_TRUE(file_system::exists(L"five.bin"));
  EXPECT_TRUE(file_system::exists(L"none"));
  EXPECT_FALSE(file_system::exists(L"missing"));
  EXPECT_FALSE(file_system::exists(L"missing/below"));
  EXPECT_FALSE(file_system::exists(L"five.bin/below"));
  EXPECT_TRUE(file_system::isDirectory(L"none"));
  EXPECT_TRUE(file_system::isDirectory(L"one/"));
  EXPECT_FALSE(file_system::isDirectory(L"five.bin"));
  EXPECT_FALSE(file_system::isDirectory(L"missing"));
  EXPECT_TRUE(file_system::isEmpty(L"empty.bin"));
  EXPECT_FALSE(file_system::isEmpty(L"five.bin"));
  EXPECT_TRUE(file_system::isEmpty(L"none")) << "\".\" and \"..\" are no entries";
  EXPECT_FALSE(file_system::isEmpty(L"one"));
  EXPECT_EQ(file_system::fileSize(L"five.bin"), 5u);
  EXPECT_EQ(file_system::fileSize(L"empty.bin"), 0u);
}

// A folder's flush reaches the folder named ("" the current one): a path
// that names none fails with the system's reason. Windows flushes nothing:
// its file systems log their entries themselves.
TEST_F(FileSystemTest, FolderFlushReachesTheFolderNamed) {
  const bool flushes = !windowsPlatform();
  EXPECT_EQ(platform::flushFolder(L""), 0);
  EXPECT_EQ(platform::flushFolder(L"one"), 0);
  EXPECT_EQ(platform::flushFolder(L"missing"), flushes ? ENOENT : 0);
  EXPECT_EQ(platform::flushFolder(L"five.bin"), flushes ? ENOTDIR : 0);
}

TEST_F(FileSystemTest, CreatesEveryMissingLevelAndLeavesAFolderAlone) {
  // The levels whose entries change, for their flush: down to the first that exists.
  using Folders = std::vector<std::wstring>;
  EXPECT_EQ(file_system::createFolders(L"a/b/c"), (Folders{L"a/b/c", L"a/b", L"a", L""}));
  EXPECT_TRUE(fs::is_directory(dir.native() / "a" / "b" / "c"));
  EXPECT_EQ(file_system::createFolders(L"a/b/c"), Folders{L"a/b/c"});  // there already
  EXPECT_EQ(file_system::createFolders(L"one/new/"), (Folders{L"one/new/", L"one"}));
  EXPECT_TRUE(fs::is_directory(dir.native() / "one" / "new"));
  file_system::createFolders(L"./dotted/./x/../y");
  EXPECT_TRUE(fs::is_directory(dir.native() / "dotted" / "y"));
}

struct FailureCase {
  const char* name;
  std::function<void()> call;
  const char* operation;
  std::errc reason;
  std::wstring path;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class FileSystemFailureTest : public FileSystemTest,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FileSystemFailureTest, ThrowsTheLibrarysError) {
  const FailureCase& c = GetParam();
  try {
    c.call();
    ADD_FAILURE() << "no failure";
  } catch (const fs::filesystem_error& error) {
    EXPECT_EQ(error.code(), std::make_error_code(c.reason)) << error.what();
    EXPECT_EQ(platform::widePath(error.path1()), c.path);
    const fs::filesystem_error expected(c.operation, platform::nativePath(c.path),
                                        std::make_error_code(c.reason));
    EXPECT_STREQ(error.what(), expected.what());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileSystemFailureTest,
    ::testing::Values(
        FailureCase{"SizeOfAFolder", [] { file_system::fileSize(L"none"); }, "file_size",
                    std::errc::is_a_directory, L"none"},
        FailureCase{"SizeOfNothing", [] { file_system::fileSize(L"missing"); }, "file_size",
                    std::errc::no_such_file_or_directory, L"missing"},
        FailureCase{"EmptinessOfNothing", [] { file_system::isEmpty(L"missing"); }, "is_empty",
                    std::errc::no_such_file_or_directory, L"missing"},
        FailureCase{"FolderOverAFile", [] { file_system::createFolders(L"five.bin"); },
                    "create_directories", std::errc::file_exists, L"five.bin"},
        FailureCase{"FolderBelowAFile", [] { file_system::createFolders(L"five.bin/sub/x"); },
                    "create_directories", std::errc::not_a_directory, L"five.bin/sub/x"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
