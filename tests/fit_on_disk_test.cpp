// The free-space check against a real file system of a few MB (a tmpfs of
// the test's own, on Linux as root), end to end: the real binary, its exact
// output, and what it leaves on that file system.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "small_file_system.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"
#include "texts/split_texts.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kDigest = 32;
// Scripts on disk for pieces named in.bin_1 ... of the input in.bin.
constexpr uint64_t kScriptOfThree = 67;
constexpr uint64_t kScriptOfFive = 93;

const std::wstring kHeader =
    split_texts::settings(L"in.bin", L"1", L"stick") + split_texts::kDividing + L"\n";

// `value` with a comma between groups of three digits.
std::wstring commaGrouped(uint64_t value) {
  std::wstring digits = std::to_wstring(value);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, L",");
  return digits;
}

class FitOnDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir.native() / "stick");
    stick = std::make_unique<SmallFileSystem>(dir / L"stick", 4 * kMiB);
    if (!stick->mounted()) GTEST_SKIP() << stick->whyNot();
    // Someone else's file, so that what is free is less than the whole.
    writeFile(dir / L"stick/theirs.bin", patternBytes(kMiB + 1, 7));
  }

  // Splits an input of `size` bytes (outside the small file system) into
  // pieces of 1 MB in it.
  RunResult split(uint64_t size, const RunOptions& extra = {}) {
    writeFile(dir / L"in.bin", "");
    fs::resize_file(platform::nativePath(dir / L"in.bin"), size);
    RunOptions options = extra;
    options.workingFolder = dir.wide();
    return runFilesplit({L"in.bin", L"1", L"stick"}, options);
  }

  std::map<std::string, uint64_t> left() { return listing(dir / L"stick"); }

  const std::map<std::string, uint64_t> theirsAlone{{"theirs.bin", kMiB + 1}};
  TempDir dir;
  std::unique_ptr<SmallFileSystem> stick;  // unmounted before the folder goes
};

TEST_F(FitOnDiskTest, InputTooBigIsRefusedAndNothingIsWritten) {
  const uint64_t freeBytes = stick->available();
  RunOptions options;
  TempDir locales;
  const bool commas = useCommaGroupingLocale(options, locales.wide());
  const auto shown = [&](uint64_t value) {
    return commas ? commaGrouped(value) : childNumber(value);
  };
  const uint64_t size = 5 * kMiB;
  const RunResult result = split(size, options);
  EXPECT_EQ(result.exitCode, split_exit::kFailed);
  EXPECT_EQ(result.out,
            consoleBytes(kHeader + L"Not enough free space in \"stick\": the split needs " +
                         shown(size + kScriptOfFive + kDigest) + L" bytes; " + shown(freeBytes) +
                         L" are free.\n" + split_texts::usage(L"filesplit")));
  EXPECT_EQ(left(), theirsAlone);
}

TEST_F(FitOnDiskTest, InputThatFitsIsSplit) {
  const RunResult result = split(2 * kMiB + 5);
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  EXPECT_EQ(result.out, consoleBytes(kHeader + L"..."));
  EXPECT_EQ(left(), (std::map<std::string, uint64_t>{{"theirs.bin", kMiB + 1},
                                                     {"in.bat", kScriptOfThree},
                                                     {"in.bin_1", kMiB},
                                                     {"in.bin_2", kMiB},
                                                     {"in.bin_3", 5},
                                                     {"in.md5", kDigest}}));
}

// Input, script and digest exactly as large as the free space go ahead; one
// byte more is refused. (What goes ahead runs out of space later all the
// same: a tmpfs stores each file in whole pages.)
TEST_F(FitOnDiskTest, SpaceIsCountedToTheByte) {
  const uint64_t freeBytes = stick->available();
  const uint64_t fits = freeBytes - kScriptOfThree - kDigest;
  ASSERT_GT(fits, 2 * kMiB + 1) << "three pieces either way";
  ASSERT_LE(fits, 3 * kMiB - 1);

  const RunResult tooBig = split(fits + 1);
  EXPECT_EQ(tooBig.exitCode, split_exit::kFailed);
  EXPECT_EQ(tooBig.out,
            consoleBytes(kHeader + L"Not enough free space in \"stick\": the split needs " +
                         childNumber(freeBytes + 1) + L" bytes; " + childNumber(freeBytes) +
                         L" are free.\n" + split_texts::usage(L"filesplit")));
  EXPECT_EQ(left(), theirsAlone);

  const RunResult exact = split(fits);
  EXPECT_EQ(exact.out.find("Not enough free space"), std::string::npos) << exact.out;
  EXPECT_EQ(left().count("in.bat"), 1u) << "the split went ahead to its script";
}

// A rebuilt file larger than the free space is refused before a byte.
TEST_F(FitOnDiskTest, JoinTooBigIsToldBeforeWriting) {
  RunOptions options;
  options.workingFolder = dir.wide();
  writeFile(dir / L"in.bin", patternBytes(5 * kMiB, 33));
  ASSERT_EQ(runFilesplit({L"in.bin", L"1", L"parts"}, options).exitCode, split_exit::kSuccess);
  const RunResult result = runFilejoin({L"parts/in.bat", L"stick"}, options);
  EXPECT_EQ(result.exitCode, join_exit::kFailed);
  EXPECT_NE(result.out.find("Not enough free space in \"stick\": the rebuilt file needs "),
            std::string::npos)
      << result.out;
  EXPECT_EQ(left(), theirsAlone);
}

}  // namespace
