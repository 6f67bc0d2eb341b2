// Each tool started with standard input, output or error closed: the file it
// opens first must not take over the console's descriptor, so its outputs
// hold exactly their bytes.
#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

#include "join/join_exit_codes.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "process.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"

namespace {

struct ClosedStream {
  const char* name;
  bool join;  // filejoin on a split, else filesplit
  std::vector<int> streams;
};

void PrintTo(const ClosedStream& row, std::ostream* out) { *out << row.name; }

class ClosedStreamTest : public ::testing::TestWithParam<ClosedStream> {};

TEST_P(ClosedStreamTest, OutputsHoldOnlyTheirBytes) {
  const ClosedStream& row = GetParam();
  TempDir dir;
  const std::string input = patternBytes(2 * 1048576 + 3, 7);
  writeFile(dir / L"in.bin", input);
  RunOptions options;
  options.workingFolder = dir.wide();
  RunOptions closed = options;
  closed.closedStreams = row.streams;
  if (row.join) {
    ASSERT_EQ(runFilesplit({L"in.bin", L"1", L"parts"}, options).exitCode, split_exit::kSuccess);
    ASSERT_EQ(runFilejoin({L"parts/in.bat", L"out"}, closed).exitCode, join_exit::kSuccess);
    EXPECT_TRUE(readFile(dir / L"out/in.bin") == input) << "the rebuilt file differs";
    return;
  }
  ASSERT_EQ(runFilesplit({L"in.bin", L"1", L"parts"}, closed).exitCode, split_exit::kSuccess);
  ASSERT_EQ(runFilesplit({L"in.bin", L"1", L"expected"}, options).exitCode, split_exit::kSuccess);
  for (const wchar_t* name : {L"in.bin_1", L"in.bin_2", L"in.bin_3", L"in.bat", L"in.md5"})
    EXPECT_TRUE(readFile(dir / (L"parts/" + std::wstring(name))) ==
                readFile(dir / (L"expected/" + std::wstring(name))))
        << "differs: " << std::string(name, name + wcslen(name));
}

INSTANTIATE_TEST_SUITE_P(Streams, ClosedStreamTest,
                         ::testing::Values(ClosedStream{"SplitWithoutInput", false, {0}},
                                           ClosedStream{"SplitWithoutOutput", false, {1}},
                                           ClosedStream{"SplitWithoutErrors", false, {2}},
                                           ClosedStream{"SplitWithoutInputOrOutput", false, {0, 1}},
                                           ClosedStream{"JoinWithoutInput", true, {0}},
                                           ClosedStream{"JoinWithoutOutput", true, {1}},
                                           ClosedStream{"JoinWithoutErrors", true, {2}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Where the runtime keeps no slot for a closed standard stream (closed in
// this process; a child is given its own), the null device the start opens
// takes that very descriptor, and stays on it.
TEST(ClosedStreamSlotTest, NullDeviceStaysOnTheFreedDescriptor) {
  _close(0);
  platform::initProcess();
  platform::OpenFileFacts facts;
  EXPECT_EQ(platform::describeOpenFile(0, facts), 0) << "standard input is closed";
}

}  // namespace
