// filesplit end to end, what it refuses: an output name taken, a file-size
// limit, a folder it cannot write or create, an input held open; each told
// with the usage text, and what it leaves on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "platform/platform.h"
#include "platform/to_wide.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "split_fixture.h"
#include "test_sizes.h"

namespace fs = std::filesystem;

namespace {

// Anything at an output name, a link that leads nowhere included, stops the
// run before anything is written.
TEST_F(SplitTest, TakenOutputNameStopsTheRunBeforeAnythingIsWritten) {
  writeFile(dir / L"aaa.iso", patternBytes(3 * kMiB, 4));
  fs::create_directory(dir.native() / "out");
  for (const char* taken : {"aaa.bat", "aaa.iso_2"}) {
    SCOPED_TRACE(taken);
    const fs::path name = dir.native() / "out" / taken;
    std::error_code error;
    if (name.filename() == "aaa.bat") {
      writeFile(name.wstring(), "mine");
    } else {
      fs::create_symlink("elsewhere", name, error);
      if (error) {
        std::cout << "no symbolic links here: the dangling link is not tried\n";
        continue;
      }
    }
    const RunResult result = split({L"aaa.iso", L"1", L"out"});
    EXPECT_EQ(result.exitCode, split_exit::kOutputExists);
    const auto entries = std::distance(fs::directory_iterator(dir.native() / "out"), {});
    EXPECT_EQ(entries, 1) << "the run wrote into out";
    EXPECT_FALSE(fs::exists(dir.native() / "elsewhere"));
    fs::remove(name);
  }
}

// A file-size limit (ulimit -f) that a piece or the script would pass is
// told before anything is written.
TEST_F(SplitTest, FileSizeLimitBelowAPieceIsToldBeforeWriting) {
  if (!fileSizeLimitSupported()) GTEST_SKIP() << "no file-size limit here";
  writeFile(dir / L"in.bin", patternBytes(3 * kMiB, 5));
  for (const uint64_t limit : {kMiB / 2, uint64_t{10}}) {
    RunOptions options;
    options.fileSizeLimit = limit;
    const RunResult result = split({L"in.bin", L"1", L"out"}, options);
    EXPECT_EQ(result.exitCode, split_exit::kFailed);
    std::wstring expected = kHeader;
    expected += L"The pieces would not be written whole: this process may write files of at most ";
    expected += std::to_wstring(limit) + L" bytes (ulimit -f).\n";
    EXPECT_EQ(result.out, consoleBytes(expected + kUsage));
    EXPECT_TRUE(listing(dir / L"out").empty());
  }
}

// Folders whose permissions keep writers out; the child runs without the
// rights that would pass over them.
class UnwritableFolderTest : public SplitTest {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "a read-only attribute does not keep files out of a Windows folder";
#endif
    writeFile(dir / L"in.bin", patternBytes(3 * kMiB, 5));
    // Readable by whoever the child runs as.
    fs::permissions(dir.native(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    fs::permissions(dir.native() / "in.bin", fs::perms::others_read, fs::perm_options::add);
    fs::create_directory(dir.native() / "locked");
    fs::permissions(dir.native() / "locked",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }
  RunResult splitInto(const std::wstring& folder) {
    RunOptions options;
    options.withoutPrivileges = true;
    return split({L"in.bin", L"1", folder}, options);
  }
};

TEST_F(UnwritableFolderTest, ScriptIsRefusedAndNothingIsWritten) {
  const RunResult result = splitInto(L"locked");
  EXPECT_EQ(result.exitCode, split_exit::kFailed);
  EXPECT_EQ(result.out,
            consoleBytes(settings(L"in.bin", L"1", L"locked") + L"Permission denied.\n" + kUsage));
  EXPECT_TRUE(fs::is_empty(dir.native() / "locked"));
}

TEST_F(UnwritableFolderTest, FolderBelowItCannotBeCreated) {
  const RunResult result = splitInto(L"locked/out");
  const fs::filesystem_error failure("create_directories", fs::path("locked/out"),
                                     std::make_error_code(std::errc::permission_denied));
  EXPECT_EQ(result.exitCode, split_exit::kOutputFolderFailed);
  EXPECT_EQ(result.out, consoleBytes(settings(L"in.bin", L"1", L"locked/out") +
                                     toWide(failure.what()) + L"\n" + kUsage));
  EXPECT_TRUE(fs::is_empty(dir.native() / "locked"));
}

TEST_F(SplitTest, InputHeldOpenForWritingIsRefusedAfterTheScript) {
  writeFile(dir / L"in.bin", patternBytes(3 * kMiB, 5));
  std::ofstream writer(platform::nativePath(dir / L"in.bin"), std::ios::app);
  ASSERT_TRUE(writer.is_open());
  const RunResult result = split({L"in.bin", L"1", L"out"});
  EXPECT_EQ(result.exitCode, split_exit::kFailed);
  EXPECT_EQ(result.out, consoleBytes(kHeader + L"Permission denied.\n" + kUsage));
  EXPECT_EQ(listing(dir / L"out"), (std::map<std::string, uint64_t>{{"in.bat", 67}}));
}

}  // namespace
