// The command line, end to end: the real binary in a temp folder, its exact
// output, its exit code, and what it left on disk.
#include <gtest/gtest.h>

#include "platform_facts.h"
#include "process.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace {

// Spelled out, not taken from the catalogue: the usage text is what this
// file checks, byte for byte (kept on purpose: callers compare this text).
const std::wstring kUsage =
    L"\nUsage:\n> filesplit filename [divide size(MB) [output folder] ]\n"
    L"  if [divide size] is not entered, 512MB is used.\n"
    L"  if [output folder] is not entered, Input file folder + input file name w/o extension is "
    L"used.\n"
    L"  ex. filesplit C:\\Users\\aaa.iso 10 C:\\Users\\Output\n";

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
  if (c.expectedExit != split_exit::kSuccess) {
    EXPECT_TRUE(sameFiles(snapshot(dir.wide()), before))
        << "a refused run created or changed files";
  }
}

const std::wstring kSettings512 = L"File: in.bin\nDivide size: 512MB\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, FrontEndTest,
    ::testing::Values(
        FrontEndCase{"NoArguments", {}, kUsage, split_exit::kFailed},
        FrontEndCase{"LetterAfterDigits",
                     {L"in.bin", L"12a"},
                     L"Invalid Divide-size.\n" + kSettings512 + kUsage,
                     split_exit::kInvalidSize},
        // Once per character that is no digit: kept on purpose (callers compare it).
        FrontEndCase{"TwoLetters",
                     {L"in.bin", L"ab"},
                     L"Invalid Divide-size.\nInvalid Divide-size.\n" + kSettings512 + kUsage,
                     split_exit::kInvalidSize},
        FrontEndCase{"Zero",
                     {L"in.bin", L"0"},
                     L"Invalid Divide-size.\nFile: in.bin\nDivide size: 0MB\n" + kUsage,
                     split_exit::kInvalidSize},
        FrontEndCase{"AllZeros",
                     {L"in.bin", L"000"},
                     L"Invalid Divide-size.\nFile: in.bin\nDivide size: 0MB\n" + kUsage,
                     split_exit::kInvalidSize},
        FrontEndCase{"EmptySize",
                     {L"in.bin", L""},
                     L"Invalid Divide-size.\nFile: in.bin\nDivide size: 0MB\n" + kUsage,
                     split_exit::kInvalidSize},
        FrontEndCase{"NegativeSize",
                     {L"in.bin", L"-5"},
                     L"Invalid Divide-size.\n" + kSettings512 + kUsage,
                     split_exit::kInvalidSize},
        FrontEndCase{"PlusSign",
                     {L"in.bin", L"+5"},
                     L"Invalid Divide-size.\n" + kSettings512 + kUsage,
                     split_exit::kInvalidSize},
        FrontEndCase{
            "LeadingZerosAccepted",
            {L"in.bin", L"0010"},
            L"File: in.bin\nDivide size: 10MB\nDividing.....\nNo need to split.\n" + kUsage,
            split_exit::kNoNeedToSplit},
        // Clamped without a word: kept on purpose (callers compare it).
        FrontEndCase{"HugeSizeSaturates",
                     {L"in.bin", L"99999999999"},
                     L"File: in.bin\nDivide size: " + childNumber(2147483647) +
                         L"MB\nDividing.....\nNo need to split.\n" + kUsage,
                     split_exit::kNoNeedToSplit},
        // 4096 MB is 2^32 bytes: worked out in 32 bits, it would wrap to 0
        // or, one more, to 1 MiB, and split the small input.
        FrontEndCase{"SizeOf4096MbIsNotWrappedAround",
                     {L"in.bin", L"4096"},
                     L"File: in.bin\nDivide size: " + childNumber(4096) +
                         L"MB\nDividing.....\nNo need to split.\n" + kUsage,
                     split_exit::kNoNeedToSplit},
        FrontEndCase{"SizeOf4097MbIsNotWrappedAround",
                     {L"in.bin", L"4097"},
                     L"File: in.bin\nDivide size: " + childNumber(4097) +
                         L"MB\nDividing.....\nNo need to split.\n" + kUsage,
                     split_exit::kNoNeedToSplit},
        FrontEndCase{"DefaultSize",
                     {L"in.bin"},
                     kSettings512 + L"Dividing.....\nNo need to split.\n" + kUsage,
                     split_exit::kNoNeedToSplit},
        // Exits 3, 4 and 5: only the usage text, kept on purpose (callers compare it).
        FrontEndCase{"MissingInput",
                     {L"nope.bin", L"1"},
                     L"File: nope.bin\nDivide size: 1MB\nDividing.....\n" + kUsage,
                     split_exit::kInputMissing},
        // Nothing can be at a name Windows refuses, nor below a file.
        FrontEndCase{"InputNameNoFileCanHave",
                     {L"no|such<file>", L"1"},
                     L"File: no|such<file>\nDivide size: 1MB\nDividing.....\n" + kUsage,
                     split_exit::kInputMissing},
        FrontEndCase{"InputBelowAFile",
                     {L"in.bin/below", L"1"},
                     L"File: in.bin/below\nDivide size: 1MB\nDividing.....\n" + kUsage,
                     split_exit::kInputMissing},
        FrontEndCase{"InputIsFolder",
                     {L"folder", L"1"},
                     L"File: folder\nDivide size: 1MB\nDividing.....\n" + kUsage,
                     split_exit::kInputIsFolder},
        FrontEndCase{"EmptyInput",
                     {L"empty.bin", L"1"},
                     L"File: empty.bin\nDivide size: 1MB\nDividing.....\n" + kUsage,
                     split_exit::kInputEmpty},
        FrontEndCase{
            "SmallerThanOnePiece",
            {L"small.bin", L"1"},
            L"File: small.bin\nDivide size: 1MB\nDividing.....\nNo need to split.\n" + kUsage,
            split_exit::kNoNeedToSplit},
        // The dots and no line end: kept on purpose (callers compare it).
        FrontEndCase{"ThreeArgumentsShowFolder",
                     {L"in.bin", L"1", L"out"},
                     L"File: in.bin\nDivide size: 1MB\nOutput Folder: out\nDividing.....\n....",
                     split_exit::kSuccess},
        // No "Output Folder:" line then: kept on purpose (callers compare it).
        FrontEndCase{"FourthArgumentIgnored",
                     {L"in.bin", L"1", L"out", L"extra"},
                     L"File: in.bin\nDivide size: 1MB\nDividing.....\n....",
                     split_exit::kSuccess}),
    [](const auto& info) { return std::string(info.param.name); });

// Control characters never reach the terminal raw.
INSTANTIATE_TEST_SUITE_P(
    ControlCharacters, FrontEndTest,
    ::testing::Values(FrontEndCase{
        "EscapeInTheSplittersInput",
        {L"in\x1b[2J.bin", L"1", L"out"},
        L"File: in\\x1b[2J.bin\nDivide size: 1MB\nOutput Folder: out\nDividing.....\n" + kUsage,
        split_exit::kInputMissing}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrontEndTest, FourthArgumentIsIgnoredButFolderIsUsed) {
  RunOptions options;
  options.workingFolder = dir.wide();
  ASSERT_EQ(runFilesplit({L"in.bin", L"1", L"out", L"extra"}, options).exitCode,
            split_exit::kSuccess);
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
  EXPECT_EQ(result.exitCode, split_exit::kNoNeedToSplit);
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
  EXPECT_EQ(result.exitCode, split_exit::kNoNeedToSplit);
}

TEST_F(FrontEndTest, UninstalledLocaleSplitsNonAsciiNames) {
  RunOptions options;
  options.workingFolder = dir.wide();
  if (!useUninstalledLocale(options))
    GTEST_SKIP() << "every locale asked for is one the system has";
  const std::wstring name = L"r\u00e9sum\u00e9 \u4e2d.bin";
  writeFile(dir / name, patternBytes(kMiB + 1, 3));
  const RunResult result = runFilesplit({name, L"1", L"out"}, options);
  EXPECT_EQ(result.out, consoleBytes(L"File: " + name +
                                     L"\nDivide size: 1MB\nOutput Folder: out\nDividing.....\n.."));
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  EXPECT_TRUE(
      sameBytes(readFile(dir / (L"out/" + name + L"_1")) + readFile(dir / (L"out/" + name + L"_2")),
                readFile(dir / name)));
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
  ASSERT_EQ(runFilesplit({L"in.bin", L"1"}, options).exitCode, split_exit::kSuccess);
  const auto afterFirst = snapshot(dir.wide());
  const RunResult second = runFilesplit({L"in.bin", L"1"}, options);
  EXPECT_EQ(second.exitCode, split_exit::kOutputExists);
  // Only the usage text, as for 3, 4 and 5: kept on purpose (callers compare it).
  EXPECT_EQ(second.out, consoleBytes(L"File: in.bin\nDivide size: 1MB\nDividing.....\n" + kUsage));
  EXPECT_TRUE(sameFiles(snapshot(dir.wide()), afterFirst));
}

TEST_F(FrontEndTest, NonAsciiNamesShowAndSplit) {
  const std::wstring name = L"r\u00e9sum\u00e9 \U0001D11E \u4e2d.bin";
  writeFile(dir / name, patternBytes(2 * kMiB, 2));
  RunOptions options;
  options.workingFolder = dir.wide();
  const RunResult result = runFilesplit({name, L"1"}, options);
  EXPECT_EQ(result.out, consoleBytes(L"File: " + name + L"\nDivide size: 1MB\nDividing.....\n.."));
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  const std::wstring folder = dir / L"r\u00e9sum\u00e9 \U0001D11E \u4e2d";
  EXPECT_TRUE(
      sameBytes(readFile(folder + L"/" + name + L"_1") + readFile(folder + L"/" + name + L"_2"),
                readFile(dir / name)));
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
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  EXPECT_TRUE(
      sameBytes(readFile(dir / (folder + L"/in.bin_1")) + readFile(dir / (folder + L"/in.bin_2")),
                readFile(dir / input)));
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
  EXPECT_NE(result.exitCode, split_exit::kSuccess);
  EXPECT_TRUE(sameFiles(snapshot(dir.wide()), before));
}

// ---- An input named like its own rejoin script or digest file ---------------

struct CompanionCase {
  const char* name;
  std::wstring input;
  std::wstring refusal;  // empty: the input splits, with the outputs below
  std::wstring script;
  std::wstring digest;
};

void PrintTo(const CompanionCase& c, std::ostream* out) { *out << c.name; }

std::wstring scriptClash(const std::wstring& input) {
  return L"The rejoin script would be named like the input \"" + input +
         L"\" and would overwrite itself when run; rename the input (for example to " + input +
         L".txt) and split it again.";
}

std::wstring digestClash(const std::wstring& input) {
  return L"The digest file would be named like the input \"" + input +
         L"\" and would be replaced by the rebuilt file; rename the input (for example to " +
         input + L".txt) and split it again.";
}

CompanionCase refused(const char* name, const std::wstring& input,
                      std::wstring (*line)(const std::wstring&)) {
  return CompanionCase{name, input, line(input), L"", L""};
}

CompanionCase splits(const char* name, const std::wstring& input, const std::wstring& script,
                     const std::wstring& digest) {
  return CompanionCase{name, input, L"", script, digest};
}

class CompanionNameTest : public ::testing::TestWithParam<CompanionCase> {};

TEST_P(CompanionNameTest, RefusedWhenTheRebuiltFileWouldReplaceAnOutput) {
  const CompanionCase& c = GetParam();
  TempDir dir;
  const std::string bytes = patternBytes(kMiB + 3, 4);
  writeFile(dir / c.input, bytes);
  const auto before = snapshot(dir.wide());
  RunOptions options;
  options.workingFolder = dir.wide();
  const RunResult result = runFilesplit({c.input, L"1", L"out"}, options);
  const std::wstring settings =
      L"File: " + c.input + L"\nDivide size: 1MB\nOutput Folder: out\nDividing.....\n";
  std::wstring refusal = c.refusal;
  // Windows holds no name that ends in a dot: such an input could not come back.
  if (refusal.empty() && windowsPlatform() && c.input.back() == L'.')
    refusal = L"The file name \"" + c.input +
              L"\" is not one a file can have here, so the rebuilt file could not take it; "
              L"rename the input and split it again.";
  if (!refusal.empty()) {
    EXPECT_EQ(result.out, consoleBytes(settings + refusal + L"\n" + kUsage));
    EXPECT_EQ(result.exitCode, split_exit::kFailed);
    EXPECT_TRUE(sameFiles(snapshot(dir.wide()), before))
        << "a refused run created or changed files";
    return;
  }
  EXPECT_EQ(result.out, consoleBytes(settings + L".."));
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  const std::wstring out = dir / L"out";
  EXPECT_TRUE(sameBytes(
      readFile(out + L"/" + c.input + L"_1") + readFile(out + L"/" + c.input + L"_2"), bytes));
  EXPECT_EQ(readFile(out + L"/" + c.script).substr(0, 10), "chcp 65001");
  EXPECT_EQ(readFile(out + L"/" + c.digest).size(), 32u);
  EXPECT_EQ(listing(out).size(), 4u);
}

// Windows drops trailing dots and blanks from a name: "x.bat " is x.bat there,
// the script's own name. A trailing dot is an extension by itself, so "x.bat."
// gets the script x.bat.bat where such names are held (Linux); Windows
// refuses the name itself, as no file there can have it.
INSTANTIATE_TEST_SUITE_P(
    Names, CompanionNameTest,
    ::testing::Values(refused("Bat", L"x.bat", scriptClash),
                      refused("BatUpperCase", L"X.BAT", scriptClash),
                      refused("BatMixedCase", L"x.Bat", scriptClash),
                      refused("Md5", L"x.md5", digestClash),
                      refused("Md5UpperCase", L"X.MD5", digestClash),
                      refused("BatTrailingBlank", L"x.bat ", scriptClash),
                      refused("Md5TrailingBlanks", L"x.Md5  ", digestClash),
                      splits("Cmd", L"x.cmd", L"x.bat", L"x.md5"),
                      splits("BatThenTxt", L"x.bat.txt", L"x.bat.bat", L"x.bat.md5"),
                      splits("Batch", L"x.batch", L"x.bat", L"x.md5"),
                      splits("BatWithoutDot", L"xbat", L"xbat.bat", L"xbat.md5"),
                      splits("Md5sum", L"x.md5sum", L"x.bat", L"x.md5"),
                      splits("LastLetterOtherThanBat", L"x.bax", L"x.bat", L"x.md5"),
                      splits("BatTrailingDot", L"x.bat.", L"x.bat.bat", L"x.bat.md5")),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
