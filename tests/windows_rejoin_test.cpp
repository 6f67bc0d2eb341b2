// The rejoin script run by the batch interpreter. Skipped elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "script/path_rules.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace fs = std::filesystem;

namespace {

// The batch interpreter's exit code when every command succeeded.
constexpr int kBatchSucceeded = 0;

// Whether the files hold the same bytes, read in blocks.
bool sameBytes(const std::wstring& a, const std::wstring& b) {
  std::ifstream first(platform::nativePath(a), std::ios::binary);
  std::ifstream second(platform::nativePath(b), std::ios::binary);
  if (!first || !second) return false;
  std::vector<char> x(kMiB), y(kMiB);
  for (;;) {
    first.read(x.data(), static_cast<std::streamsize>(x.size()));
    second.read(y.data(), static_cast<std::streamsize>(y.size()));
    if (first.gcount() != second.gcount()) return false;
    if (first.gcount() == 0) return true;
    if (!std::equal(x.begin(), x.begin() + first.gcount(), y.begin())) return false;
  }
}

struct RejoinCase {
  const char* name;
  std::wstring input;  // Wine's cmd knows no code page 65001 and no "%%": ASCII, no "%"
  uint64_t size;
  bool sparse;
  size_t pieces;
  size_t copyLines;
};

void PrintTo(const RejoinCase& c, std::ostream* out) { *out << c.name; }

class WindowsRejoinTest : public ::testing::TestWithParam<RejoinCase> {};

TEST_P(WindowsRejoinTest, ScriptRebuildsTheInput) {
  SKIP_UNLESS_WINDOWS();
  if (!batchInterpreterAvailable()) GTEST_SKIP() << "no batch interpreter";
  const RejoinCase& c = GetParam();
  TempDir dir;
  if (c.sparse) {
    writeFile(dir / c.input, patternBytes(1000, 8));  // data at both ends, a hole between
    fs::resize_file(platform::nativePath(dir / c.input), c.size);
    std::fstream end(platform::nativePath(dir / c.input),
                     std::ios::binary | std::ios::in | std::ios::out);
    end.seekp(static_cast<std::streamoff>(c.size - 5));
    end.write("tail!", 5);
  } else {
    writeFile(dir / c.input, patternBytes(c.size, 9));
  }
  RunOptions options;
  options.workingFolder = dir.wide();
  ASSERT_EQ(runFilesplit({c.input, L"1", L"out"}, options).exitCode, split_exit::kSuccess);
  const std::wstring stem = path_rules::stem(c.input);
  const std::string script = readFile(dir / (L"out\\" + stem + L".bat"));
  // The last of several lines has no line end.
  const size_t lines = static_cast<size_t>(std::count(script.begin(), script.end(), '\n')) +
                       (script.back() == '\n' ? 0 : 1);
  EXPECT_EQ(lines, 1 + c.copyLines);
  EXPECT_EQ(listing(dir / L"out").size(), c.pieces + 2);

  options.workingFolder = dir / L"out";
  const RunResult rejoin = runBatch(L"call \"" + stem + L".bat\"", options);
  EXPECT_EQ(rejoin.exitCode, kBatchSucceeded) << rejoin.out;
  ASSERT_TRUE(fs::exists(platform::nativePath(dir / (L"out\\" + c.input)))) << rejoin.out;
  EXPECT_EQ(fs::file_size(platform::nativePath(dir / (L"out\\" + c.input))), c.size);
  EXPECT_TRUE(sameBytes(dir / c.input, dir / (L"out\\" + c.input))) << "rebuilt file differs";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, WindowsRejoinTest,
    ::testing::Values(RejoinCase{"ThreePiecesAndABit", L"in.bin", 3 * kMiB + 5, false, 4, 1},
                      RejoinCase{"BlanksAndSigns", L"my data & more (1).tar.gz", 2 * kMiB + 1,
                                 false, 3, 1},
                      RejoinCase{"PastTheLineLimit", L"aaa.iso", 258 * kMiB, true, 258, 2},
                      RejoinCase{"LongNameBreaksOften", std::wstring(120, L'n') + L".bin",
                                 80 * kMiB + 7, true, 81, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// An input of batch commands whose name ends in ".bat" before another
// extension: its script is x.bat.bat, so the rebuilt x.bat.txt replaces no
// script while it runs, and the interpreter reads none of its lines.
TEST(WindowsRejoinTest, CommandsInTheInputNeverRun) {
  SKIP_UNLESS_WINDOWS();
  if (!batchInterpreterAvailable()) GTEST_SKIP() << "no batch interpreter";
  TempDir dir;
  const std::wstring input = L"x.bat.txt";
  std::string commands;
  while (commands.size() <= kMiB) commands += "echo PWNED>>pwned.txt\r\n";
  writeFile(dir / input, commands);
  RunOptions options;
  options.workingFolder = dir.wide();
  ASSERT_EQ(runFilesplit({input, L"1", L"out"}, options).exitCode, split_exit::kSuccess);

  options.workingFolder = dir / L"out";
  const RunResult rejoin = runBatch(L"x.bat.bat", options);
  EXPECT_EQ(rejoin.exitCode, kBatchSucceeded) << rejoin.out;
  EXPECT_TRUE(sameBytes(dir / input, dir / (L"out\\" + input))) << "rebuilt file differs";
  for (const auto& [path, bytes] : snapshot(dir.wide()))
    EXPECT_EQ(path.find("pwned"), std::string::npos) << "a command of the input ran: " << path;
  EXPECT_EQ(listing(dir / L"out").size(), 5u) << "two pieces, script, digest, rebuilt file";
}

}  // namespace
