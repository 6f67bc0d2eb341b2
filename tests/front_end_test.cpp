// The command line, end to end: the real binary in a temp folder, its exact
// output, its exit code, and what it left on disk.
#include <gtest/gtest.h>

#include "platform_facts.h"
#include "process.h"
#include "temp_dir.h"
#include "usage_text.h"

namespace {

const std::wstring kUsage = usageText();

constexpr size_t kMiB = 1048576;

struct FrontEndCase {
  const char* name;
  std::vector<std::wstring> arguments;
  std::wstring expectedOut;
  int expectedExit;
};

void PrintTo(const FrontEndCase& c, std::ostream* out) { *out << c.name; }

class FrontEndTest : public ::testing::TestWithParam<FrontEndCase> {
 protected:
  void SetUp() override {
    writeFile(dir / L"in.bin", patternBytes(3 * kMiB + 5, 1));
    writeFile(dir / L"empty.bin", "");
    writeFile(dir / L"small.bin", "tiny");
    std::filesystem::create_directory(dir.native() / "folder");
  }
  TempDir dir;
};

TEST_P(FrontEndTest, PrintsExactlyAndExitsWithItsCode) {
  const FrontEndCase& c = GetParam();
  const auto before = snapshot(dir.wide());
  RunOptions options;
  options.workingFolder = dir.wide();
  const RunResult result = runFilesplit(c.arguments, options);
  EXPECT_EQ(result.out, consoleBytes(c.expectedOut));
  EXPECT_EQ(result.exitCode, c.expectedExit);
  if (c.expectedExit != 0) {
    EXPECT_EQ(snapshot(dir.wide()), before) << "a refused run created or changed files";
  }
}

const std::wstring kSettings512 = L"File: in.bin\nDivide size: 512MB\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, FrontEndTest,
    ::testing::Values(
        FrontEndCase{"NoArguments", {}, kUsage, 1},
        FrontEndCase{"LetterAfterDigits",
                     {L"in.bin", L"12a"},
                     L"Invalid Divide-size.\n" + kSettings512 + kUsage,
                     7},
        FrontEndCase{"TwoLetters",
                     {L"in.bin", L"ab"},
                     L"Invalid Divide-size.\nInvalid Divide-size.\n" + kSettings512 + kUsage,
                     7},
        FrontEndCase{"Zero",
                     {L"in.bin", L"0"},
                     L"Invalid Divide-size.\nFile: in.bin\nDivide size: 0MB\n" + kUsage,
                     7},
        FrontEndCase{"AllZeros",
                     {L"in.bin", L"000"},
                     L"Invalid Divide-size.\nFile: in.bin\nDivide size: 0MB\n" + kUsage,
                     7},
        FrontEndCase{"EmptySize",
                     {L"in.bin", L""},
                     L"Invalid Divide-size.\nFile: in.bin\nDivide size: 0MB\n" + kUsage,
                     7},
        FrontEndCase{"NegativeSize",
                     {L"in.bin", L"-5"},
                     L"Invalid Divide-size.\n" + kSettings512 + kUsage,
                     7},
        FrontEndCase{
            "PlusSign", {L"in.bin", L"+5"}, L"Invalid Divide-size.\n" + kSettings512 + kUsage, 7},
        FrontEndCase{
            "LeadingZerosAccepted",
            {L"in.bin", L"0010"},
            L"File: in.bin\nDivide size: 10MB\nDividing.....\nNo need to split.\n" + kUsage,
            6},
        FrontEndCase{"HugeSizeSaturates",
                     {L"in.bin", L"99999999999"},
                     L"File: in.bin\nDivide size: " + childNumber(2147483647) +
                         L"MB\nDividing.....\nNo need to split.\n" + kUsage,
                     6},
        // 4096 MB is 2^32 bytes: worked out in 32 bits, it would wrap to 0
        // or, one more, to 1 MiB, and split the small input.
        FrontEndCase{"SizeOf4096MbIsNotWrappedAround",
                     {L"in.bin", L"4096"},
                     L"File: in.bin\nDivide size: " + childNumber(4096) +
                         L"MB\nDividing.....\nNo need to split.\n" + kUsage,
                     6},
        FrontEndCase{"SizeOf4097MbIsNotWrappedAround",
                     {L"in.bin", L"4097"},
                     L"File: in.bin\nDivide size: " + childNumber(4097) +
                         L"MB\nDividing.....\nNo need to split.\n" + kUsage,
                     6},
        FrontEndCase{"DefaultSize",
                     {L"in.bin"},
                     kSettings512 + L"Dividing.....\nNo need to split.\n" + kUsage,
                     6},
        FrontEndCase{"MissingInput",
                     {L"nope.bin", L"1"},
                     L"File: nope.bin\nDivide size: 1MB\nDividing.....\n" + kUsage,
                     3},
        FrontEndCase{"InputIsFolder",
                     {L"folder", L"1"},
                     L"File: folder\nDivide size: 1MB\nDividing.....\n" + kUsage,
                     4},
        FrontEndCase{"EmptyInput",
                     {L"empty.bin", L"1"},
                     L"File: empty.bin\nDivide size: 1MB\nDividing.....\n" + kUsage,
                     5},
        FrontEndCase{
            "SmallerThanOnePiece",
            {L"small.bin", L"1"},
            L"File: small.bin\nDivide size: 1MB\nDividing.....\nNo need to split.\n" + kUsage,
            6},
        FrontEndCase{"ThreeArgumentsShowFolder",
                     {L"in.bin", L"1", L"out"},
                     L"File: in.bin\nDivide size: 1MB\nOutput Folder: out\nDividing.....\n....",
                     0},
        FrontEndCase{"FourthArgumentIgnored",
                     {L"in.bin", L"1", L"out", L"extra"},
                     L"File: in.bin\nDivide size: 1MB\nDividing.....\n....",
                     0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrontEndTest, FourthArgumentIsIgnoredButFolderIsUsed) {
  RunOptions options;
  options.workingFolder = dir.wide();
  ASSERT_EQ(runFilesplit({L"in.bin", L"1", L"out", L"extra"}, options).exitCode, 0);
  EXPECT_EQ(listing(dir / L"out"), (std::map<std::string, uint64_t>{{"in.bat", 80},
                                                                    {"in.bin_1", kMiB},
                                                                    {"in.bin_2", kMiB},
                                                                    {"in.bin_3", kMiB},
                                                                    {"in.bin_4", 5},
                                                                    {"in.md5", 32}}));
}

TEST_F(FrontEndTest, SizeIsGroupedByTheUserLocale) {
  RunOptions options;
  options.workingFolder = dir.wide();
  TempDir locales;
  if (!useCommaGroupingLocale(options, locales.wide())) GTEST_SKIP() << "no en_US locale source";
  const RunResult result = runFilesplit({L"in.bin", L"1024"}, options);
  EXPECT_EQ(result.out,
            consoleBytes(L"File: in.bin\nDivide size: 1,024MB\nDividing.....\nNo need to split.\n" +
                         kUsage));
  EXPECT_EQ(result.exitCode, 6);
}

TEST_F(FrontEndTest, UninstalledLocaleStillPrints) {
  RunOptions options;
  options.workingFolder = dir.wide();
  if (!useUninstalledLocale(options))
    GTEST_SKIP() << "every locale asked for is one the system has";
  const RunResult result = runFilesplit({L"in.bin", L"1024"}, options);
  EXPECT_EQ(result.out,
            consoleBytes(L"File: in.bin\nDivide size: 1024MB\nDividing.....\nNo need to split.\n" +
                         kUsage));
  EXPECT_EQ(result.exitCode, 6);
}

TEST_F(FrontEndTest, ProgramNameIsShownAsTyped) {
  RunOptions options;
  options.workingFolder = dir.wide();
  const RunResult result = runFilesplit({}, options, L"./tools/fs");
  EXPECT_NE(result.out.find(consoleBytes(L"> ./tools/fs filename")), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find(consoleBytes(L"  ex. ./tools/fs C:\\Users")), std::string::npos);
}

TEST_F(FrontEndTest, SecondRunOverExistingOutputsChangesNothing) {
  RunOptions options;
  options.workingFolder = dir.wide();
  ASSERT_EQ(runFilesplit({L"in.bin", L"1"}, options).exitCode, 0);
  const auto afterFirst = snapshot(dir.wide());
  const RunResult second = runFilesplit({L"in.bin", L"1"}, options);
  EXPECT_EQ(second.exitCode, 8);
  EXPECT_EQ(second.out, consoleBytes(L"File: in.bin\nDivide size: 1MB\nDividing.....\n" + kUsage));
  EXPECT_EQ(snapshot(dir.wide()), afterFirst);
}

TEST_F(FrontEndTest, NonAsciiNamesShowAndSplit) {
  const std::wstring name = L"r\u00e9sum\u00e9 \U0001D11E \u4e2d.bin";
  writeFile(dir / name, patternBytes(2 * kMiB, 2));
  RunOptions options;
  options.workingFolder = dir.wide();
  const RunResult result = runFilesplit({name, L"1"}, options);
  EXPECT_EQ(result.out, consoleBytes(L"File: " + name + L"\nDivide size: 1MB\nDividing.....\n.."));
  EXPECT_EQ(result.exitCode, 0);
  const std::wstring folder = dir / L"r\u00e9sum\u00e9 \U0001D11E \u4e2d";
  EXPECT_EQ(readFile(folder + L"/" + name + L"_1") + readFile(folder + L"/" + name + L"_2"),
            readFile(dir / name));
}

TEST_F(FrontEndTest, PathsLongerThan259CharactersAreHeldWhole) {
  const std::wstring level(100, L'd');
  const std::wstring folder = level + L"/" + level + L"/" + level;
  std::filesystem::create_directories(dir.native() / std::string(level.begin(), level.end()) /
                                      std::string(level.begin(), level.end()));
  const std::wstring input = level + L"/" + level + L"/in.bin";
  writeFile(dir / input, patternBytes(kMiB + 1, 6));
  RunOptions options;
  options.workingFolder = dir.wide();
  const RunResult result = runFilesplit({input, L"1", folder}, options);
  EXPECT_EQ(result.out, consoleBytes(L"File: " + input + L"\nDivide size: 1MB\nOutput Folder: " +
                                     folder + L"\nDividing.....\n.."));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(readFile(dir / (folder + L"/in.bin_1")) + readFile(dir / (folder + L"/in.bin_2")),
            readFile(dir / input));
  EXPECT_EQ(readFile(dir / (folder + L"/in.md5")).size(), 32u);
}

TEST_F(FrontEndTest, InputNameOf5000CharactersIsEchoedWhole) {
  // No platform has a file of such a name; the echo comes before the input is
  // looked at, and nothing is written.
  const std::wstring name = std::wstring(4996, L'n') + L".bin";
  const auto before = snapshot(dir.wide());
  RunOptions options;
  options.workingFolder = dir.wide();
  const RunResult result = runFilesplit({name, L"1"}, options);
  const std::string start = consoleBytes(L"File: " + name + L"\nDivide size: 1MB\nDividing.....\n");
  EXPECT_EQ(result.out.substr(0, start.size()), start);
  EXPECT_NE(result.exitCode, 0);
  EXPECT_EQ(snapshot(dir.wide()), before);
}

TEST_F(FrontEndTest, ArgumentThatDoesNotDecodeExactlyIsRefused) {
  if (!byteArgumentsSupported()) GTEST_SKIP() << "arguments arrive as wide text here";
  writeFile(dir / L"caf\u00e9.bin", patternBytes(kMiB, 1));
  const auto before = snapshot(dir.wide());
  RunOptions options;
  options.workingFolder = dir.wide();
  // "caf\xE9.bin" is Latin-1, not UTF-8: decoding it would name another file.
  const RunResult result = runFilesplitBytes({"filesplit", "caf\xE9.bin", "1"}, options);
  EXPECT_EQ(result.out,
            consoleBytes(L"Argument 1 is not valid text in this system's encoding.\n" + kUsage));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(snapshot(dir.wide()), before) << "nothing created";
}

}  // namespace
