// Share modes between processes: what the tool's open files let another
// process do, and what a file another process holds lets the tool do.
// Skipped elsewhere.
#include <gtest/gtest.h>

#include <memory>

#include "fileio/file_ptr.h"
#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"
#include "texts/split_texts.h"

namespace {

// A file held open by this process with the runtime's flags, as long as the
// object lives.
class Held {
 public:
  Held(const std::wstring& path, int oflag, int shflag) {
    EXPECT_EQ(_wsopen_s(&fd_, path.c_str(), oflag | _O_BINARY, shflag, _S_IREAD | _S_IWRITE), 0);
  }
  ~Held() {
    if (fd_ >= 0) _close(fd_);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

 private:
  int fd_ = -1;
};

const std::wstring kUsage = split_texts::usage(L"filesplit");
const std::wstring kHeader =
    split_texts::settings(L"in.bin", L"1", L"out") + split_texts::kDividing + L"\n";

struct ShareCase {
  const char* name;
  int oflag;
  int shflag;
  bool refused;
};

void PrintTo(const ShareCase& c, std::ostream* out) { *out << c.name; }

class WindowsShareTest : public ::testing::TestWithParam<ShareCase> {
 protected:
  RunResult split() {
    RunOptions options;
    options.workingFolder = dir.wide();
    return runFilesplit({L"in.bin", L"1", L"out"}, options);
  }
  TempDir dir;
};

TEST_P(WindowsShareTest, InputHeldByAnotherProcess) {
  SKIP_UNLESS_WINDOWS();
  const ShareCase& c = GetParam();
  writeFile(dir / L"in.bin", patternBytes(2 * kMiB + 3, 6));
  Held held(dir / L"in.bin", c.oflag, c.shflag);
  const RunResult result = split();
  if (c.refused) {
    EXPECT_EQ(result.exitCode, split_exit::kFailed);
    EXPECT_EQ(result.out, consoleBytes(kHeader + L"Permission denied.\n" + kUsage));
    EXPECT_EQ(listing(dir / L"out"), (std::map<std::string, uint64_t>{{"in.bat", 67}}));
  } else {
    EXPECT_EQ(result.exitCode, split_exit::kSuccess);
    EXPECT_EQ(result.out, consoleBytes(kHeader + L"..."));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WindowsShareTest,
    ::testing::Values(ShareCase{"ReaderSharingAll", _O_RDONLY, _SH_DENYNO, false},
                      ShareCase{"ReaderDenyingWriters", _O_RDONLY, _SH_DENYWR, false},
                      ShareCase{"ReaderDenyingReaders", _O_RDONLY, _SH_DENYRD, true},
                      ShareCase{"WriterSharingAll", _O_WRONLY, _SH_DENYNO, true},
                      ShareCase{"WriterDenyingAll", _O_RDWR, _SH_DENYRW, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Another process (the batch interpreter) on a file this process holds
// through File_ptr, as the tool holds its files.
TEST(WindowsShareTest, OurInputKeepsWritersOutButLetsReadersIn) {
  SKIP_UNLESS_WINDOWS();
  if (!batchInterpreterAvailable()) GTEST_SKIP() << "no batch interpreter";
  TempDir dir;
  writeFile(dir / L"in.bin", "original");
  RunOptions options;
  options.workingFolder = dir.wide();
  {
    File_ptr input((dir / L"in.bin").c_str(), kInputMode);
    runBatch(L"echo more>>in.bin", options);
    EXPECT_EQ(readFile(dir / L"in.bin"), "original") << "a writer got in";
    const RunResult typed = runBatch(L"type in.bin", options);
    EXPECT_EQ(typed.out, "original") << "a reader was kept out";
  }
  runBatch(L"echo more>>in.bin", options);
  EXPECT_EQ(readFile(dir / L"in.bin"), "originalmore\r\n");
}

TEST(WindowsShareTest, OurPieceKeepsReadersAndWritersOut) {
  SKIP_UNLESS_WINDOWS();
  if (!batchInterpreterAvailable()) GTEST_SKIP() << "no batch interpreter";
  TempDir dir;
  RunOptions options;
  options.workingFolder = dir.wide();
  options.errorsApart = true;  // cmd tells the refused open there
  {
    std::unique_ptr<FileIO_IF> piece(new File_ptr((dir / L"in.bin_1").c_str(), kPieceMode));
    ASSERT_EQ(piece->write("data", 4), 4);
    EXPECT_EQ(runBatch(L"type in.bin_1", options).out, "") << "a reader got in";
    runBatch(L"echo more>>in.bin_1", options);
  }
  EXPECT_EQ(readFile(dir / L"in.bin_1"), "data") << "a writer got in";
  EXPECT_EQ(runBatch(L"type in.bin_1", options).out, "data") << "no reader gets in even now";
}

}  // namespace
