// File names as bytes, end to end: where a program receives its arguments
// as bytes, every name splits whatever the locale, its pieces carry exactly
// its bytes, and the console shows "?" only for a byte it cannot show.
// Skipped where arguments arrive as wide text (Windows): there every name is
// text already.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <tuple>

#include "platform/platform.h"
#include "process.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"
#include "texts/split_texts.h"
#ifndef _WIN32
#include "platform/unix/native_text.h"
#endif

namespace fs = std::filesystem;

namespace {

#define SKIP_UNLESS_BYTE_ARGUMENTS() \
  if (!byteArgumentsSupported()) GTEST_SKIP() << "arguments arrive as wide text here"

void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write test file");
}

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing: " + path.string() + ">";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The names in `folder`, byte for byte.
std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// ---- Names ----------------------------------------------------------------------

struct NameCase {
  const char* name;
  std::string bytes;     // the input's name
  std::string stem;      // its script and digest file's name without extension
  std::wstring shown;    // as the console shows it
  std::string inScript;  // as the rejoin script names it (UTF-8); "": refused
};

const std::wstring kCannotCarry =
    L"The file name holds a double quote, a control character or bytes that are no character in "
    L"this system's encoding, which the rejoin script cannot carry.\n";

// ---- Environments -------------------------------------------------------------

struct Environment {
  const char* name;
  std::string lang;  // "": LANG unset
  bool builtLocale;  // a UTF-8 locale made with localedef
  bool uninstalled;  // a locale the system does not have
};

class ByteNameTest : public ::testing::TestWithParam<std::tuple<Environment, NameCase>> {
 protected:
  static void SetUpTestSuite() { locales_ = std::make_unique<TempDir>(); }
  static void TearDownTestSuite() { locales_.reset(); }

  // Readies `options` for `environment`; false when this machine cannot.
  static bool enter(const Environment& environment, RunOptions& options) {
    if (environment.builtLocale) {
      // Made once for the suite: localedef takes a while.
      static RunOptions built;
      static const bool made = useCommaGroupingLocale(built, locales_->wide());
      for (const auto& [name, value] : built.environment) options.environment[name] = value;
      return made;
    }
    if (environment.uninstalled) return useUninstalledLocale(options);
    options.environment["LANG"] = environment.lang;
    return true;
  }

  static std::unique_ptr<TempDir> locales_;
};

std::unique_ptr<TempDir> ByteNameTest::locales_;

void PrintTo(const std::tuple<Environment, NameCase>& c, std::ostream* out) {
  *out << std::get<0>(c).name << "/" << std::get<1>(c).name;
}

TEST_P(ByteNameTest, SplitsWithTheNameKeptByteForByte) {
  SKIP_UNLESS_BYTE_ARGUMENTS();
  const auto& [environment, c] = GetParam();
  RunOptions options;
  TempDir dir;
  options.workingFolder = dir.wide();
  if (!enter(environment, options)) GTEST_SKIP() << "this machine cannot make the locale";
  const std::string input = patternBytes(kMiB + 3, 5);
  writeBytes(dir.native() / c.bytes, input);

  const RunResult result = runFilesplitBytes({"filesplit", c.bytes, "1", "out"}, options);
  const std::wstring settings =
      L"File: " + c.shown + L"\nDivide size: 1MB\nOutput Folder: out\nDividing.....\n";
  const fs::path out = dir.native() / "out";
  if (c.inScript.empty()) {  // a script naming other bytes could not rebuild it
    EXPECT_EQ(result.out, consoleBytes(settings + kCannotCarry + split_texts::usage(L"filesplit")));
    EXPECT_EQ(result.exitCode, split_exit::kFailed);
    EXPECT_FALSE(fs::exists(out));
    return;
  }
  EXPECT_EQ(result.out, consoleBytes(settings + L".."));
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  EXPECT_EQ(namesIn(out), (std::set<std::string>{c.bytes + "_1", c.bytes + "_2", c.stem + ".bat",
                                                 c.stem + ".md5"}));
  EXPECT_TRUE(readBytes(out / (c.bytes + "_1")) + readBytes(out / (c.bytes + "_2")) == input)
      << "the pieces do not rejoin to the input";
  const std::string piece = "\"" + c.inScript + "_";
  EXPECT_EQ(readBytes(out / (c.stem + ".bat")),
            "chcp 65001\r\ncopy /b " + piece + "1\" + " + piece + "2\" \"" + c.inScript + "\"\r\n");
  EXPECT_EQ(readBytes(out / (c.stem + ".md5")).size(), 32u);
}

INSTANTIATE_TEST_SUITE_P(
    EnvironmentsAndNames, ByteNameTest,
    ::testing::Combine(
        ::testing::Values(Environment{"LangUnset", "", false, false},
                          Environment{"C", "C", false, false},
                          Environment{"Posix", "POSIX", false, false},
                          Environment{"CUtf8", "C.UTF-8", false, false},
                          Environment{"BuiltUtf8Locale", "", true, false},
                          Environment{"UninstalledLocale", "", false, true}),
        ::testing::Values(NameCase{"Ascii", "plain.bin", "plain", L"plain.bin", "plain.bin"},
                          NameCase{"Accents", "r\xC3\xA9sum\xC3\xA9.bin", "r\xC3\xA9sum\xC3\xA9",
                                   L"r\u00e9sum\u00e9.bin", "r\xC3\xA9sum\xC3\xA9.bin"},
                          NameCase{"OutsideTheBmp", "\xF0\x9D\x84\x9E.bin", "\xF0\x9D\x84\x9E",
                                   L"\U0001D11E.bin", "\xF0\x9D\x84\x9E.bin"},
                          // Bytes that do not decode: refused, whatever the script
                          // would say instead.
                          NameCase{"Latin1Byte", "caf\xE9 latin.iso", "", L"caf? latin.iso", ""},
                          NameCase{"NeverUtf8", "bad\xFF\xFE.bin", "", L"bad??.bin", ""},
                          NameCase{"TruncatedAtTheEnd", "end\xE2\x82", "", L"end??", ""},
                          // The UTF-8 form of a surrogate, and an overlong "/": neither is
                          // a character, so neither may pass for an escape or a separator.
                          NameCase{"EncodedSurrogate", "s\xED\xA0\x80.bin", "", L"s???.bin", ""},
                          NameCase{"OverlongSlash",
                                   "a\xC0\xAF"
                                   "b.bin",
                                   "", L"a??b.bin", ""})),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

// Under a locale whose encoding is not UTF-8, names decode by that encoding:
// the console gets the name's own bytes and the script the same characters
// in UTF-8.
TEST(ByteNameLocaleTest, OtherEncodingsDecodeByTheirOwnRules) {
  SKIP_UNLESS_BYTE_ARGUMENTS();
  TempDir dir, locales;
  RunOptions options;
  options.workingFolder = dir.wide();
  if (!useLocaleWithEncoding(options, locales.wide(), "ja_JP", "EUC-JP"))
    GTEST_SKIP() << "this machine cannot make an EUC-JP locale";
  const std::string name = "\xA4\xA2.bin";  // HIRAGANA A
  const std::string input = patternBytes(kMiB + 1, 8);
  writeBytes(dir.native() / name, input);
  const RunResult result = runFilesplitBytes({"filesplit", name, "1", "out"}, options);
  EXPECT_EQ(result.out,
            "File: \xA4\xA2.bin\nDivide size: 1MB\nOutput Folder: out\nDividing.....\n..");
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  const fs::path out = dir.native() / "out";
  EXPECT_EQ(namesIn(out),
            (std::set<std::string>{name + "_1", name + "_2", "\xA4\xA2.bat", "\xA4\xA2.md5"}));
  EXPECT_TRUE(readBytes(out / (name + "_1")) + readBytes(out / (name + "_2")) == input)
      << "the pieces do not rejoin to the input";
  const std::string inScript = "\xE3\x81\x82.bin";
  EXPECT_EQ(readBytes(out / "\xA4\xA2.bat"), "chcp 65001\r\ncopy /b \"" + inScript + "_1\" + \"" +
                                                 inScript + "_2\" \"" + inScript + "\"\r\n");
}

// The console under an encoding that lacks a character shows "?" for it and
// goes on, never dropping it; the locale is this process's, set for the
// conversion alone.
TEST(ByteNameLocaleTest, ConsoleShowsWhatTheEncodingLacksAsAQuestionMark) {
#ifdef _WIN32
  GTEST_SKIP() << "the console writes code pages here (WindowsCodePageTest)";
#else
  TempDir locales;
  RunOptions options;
  if (!useLocaleWithEncoding(options, locales.wide(), "ja_JP", "EUC-JP"))
    GTEST_SKIP() << "this machine cannot make an EUC-JP locale";
  ASSERT_EQ(::setenv("LOCPATH", options.environment["LOCPATH"].c_str(), 1), 0);
  const std::string previous = std::setlocale(LC_CTYPE, nullptr);
  const bool set = std::setlocale(LC_CTYPE, options.environment["LANG"].c_str()) != nullptr;
  const std::wstring text = L"\u3042\U0001F600.bin";  // HIRAGANA A, an emoji EUC-JP has not
  const std::string shown =
      set ? posix_text::displayBytes(text.data(), text.data() + text.size()) : std::string();
  EXPECT_NE(std::setlocale(LC_CTYPE, previous.c_str()), nullptr) << "the tests' locale back";
  ::unsetenv("LOCPATH");
  if (!set) GTEST_SKIP() << "the EUC-JP locale made could not be set";
  EXPECT_EQ(shown, "\xA4\xA2?.bin");
#endif
}

// ---- Folders, messages and arguments ----------------------------------------------

TEST(ByteNameFolderTest, OutputFolderIsMadeWithExactlyItsBytes) {
  SKIP_UNLESS_BYTE_ARGUMENTS();
  TempDir dir;
  const std::string input = patternBytes(kMiB + 1, 6);
  writeBytes(dir.native() / "in.bin", input);
  RunOptions options;
  options.workingFolder = dir.wide();
  options.environment["LANG"] = "C";
  const RunResult result =
      runFilesplitBytes({"filesplit", "in.bin", "1", "out\xE9/sub\xFF\xE2\x82"}, options);
  EXPECT_EQ(result.out, consoleBytes(L"File: in.bin\nDivide size: 1MB\nOutput Folder: "
                                     L"out?/sub???\nDividing.....\n.."));
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  EXPECT_EQ(namesIn(dir.native()), (std::set<std::string>{"in.bin", "out\xE9"}));
  const fs::path folder = dir.native() / "out\xE9" / "sub\xFF\xE2\x82";
  EXPECT_EQ(namesIn(dir.native() / "out\xE9"), (std::set<std::string>{"sub\xFF\xE2\x82"}));
  EXPECT_TRUE(readBytes(folder / "in.bin_1") + readBytes(folder / "in.bin_2") == input)
      << "the pieces do not rejoin to the input";
}

TEST(ByteNameFolderTest, FailureTextShowsTheFolderWithQuestionMarks) {
  SKIP_UNLESS_BYTE_ARGUMENTS();
  TempDir dir;
  writeBytes(dir.native() / "in.bin", patternBytes(kMiB + 1, 6));
  writeBytes(dir.native() / "file\xE9", "not a folder");
  const auto before = snapshot(dir.wide());
  RunOptions options;
  options.workingFolder = dir.wide();
  const RunResult result = runFilesplitBytes({"filesplit", "in.bin", "1", "file\xE9/sub"}, options);
  EXPECT_EQ(result.exitCode, split_exit::kOutputFolderFailed);
  const std::string start = consoleBytes(
      L"File: in.bin\nDivide size: 1MB\nOutput Folder: file?/sub\nDividing.....\n"
      L"filesystem error: create_directories: ");
  const std::string end = consoleBytes(L" [file?/sub]\n" + split_texts::usage(L"filesplit"));
  EXPECT_EQ(result.out.substr(0, start.size()), start) << result.out;
  ASSERT_GE(result.out.size(), end.size());
  EXPECT_EQ(result.out.substr(result.out.size() - end.size()), end) << result.out;
  EXPECT_TRUE(sameFiles(snapshot(dir.wide()), before)) << "nothing created";
}

TEST(ByteArgumentTest, ProgramNameWithAByteThatCannotBeShown) {
  SKIP_UNLESS_BYTE_ARGUMENTS();
  TempDir dir;
  RunOptions options;
  options.workingFolder = dir.wide();
  options.environment["LANG"] = "C";
  const RunResult result = runFilesplitBytes({"./fs\xFF"}, options);
  EXPECT_EQ(result.out, consoleBytes(split_texts::usage(L"./fs?")));
  EXPECT_EQ(result.exitCode, split_exit::kFailed);
}

TEST(ByteArgumentTest, TruncatedSequenceAtTheEndTakesNoRunawayMemory) {
  SKIP_UNLESS_BYTE_ARGUMENTS();
  if (!memoryLimitSupported()) GTEST_SKIP() << "no memory limit can be set for the child here";
  TempDir dir;
  const std::string name = "in\xF0\x9F\x98";  // three of the four bytes of U+1F600
  const std::string input = patternBytes(kMiB + 1, 7);
  writeBytes(dir.native() / name, input);
  RunOptions options;
  options.workingFolder = dir.wide();
  options.memoryLimit = 64 * kMiB;  // the tool needs about a quarter of it
  const RunResult result = runFilesplitBytes({"filesplit", name, "1\xE2\x82", "out"}, options);
  // Each byte of the cut sequence is one character that is not a digit.
  EXPECT_EQ(result.out,
            consoleBytes(L"Invalid Divide-size.\nInvalid Divide-size.\nFile: in???\nDivide size: "
                         L"512MB\nOutput Folder: out\n" +
                         split_texts::usage(L"filesplit")));
  EXPECT_EQ(result.exitCode, split_exit::kInvalidSize);
  const RunResult split = runFilesplitBytes({"filesplit", name, "1", "out"}, options);
  EXPECT_EQ(split.out, consoleBytes(L"File: in???\nDivide size: 1MB\nOutput Folder: out\n"
                                    L"Dividing.....\n" +
                                    kCannotCarry + split_texts::usage(L"filesplit")));
  EXPECT_EQ(split.exitCode, split_exit::kFailed);
}

}  // namespace
