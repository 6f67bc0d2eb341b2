// filejoin end to end: the real binaries in a temp folder. Whatever
// filesplit wrote, filejoin rebuilds exactly; every refusal has its code and
// its line and writes nothing; --check reads and writes nothing.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace fs = std::filesystem;

namespace {

// `name` in `folder` as filejoin puts them together: one separator of the
// platform's between, none when the folder ends with one.
std::wstring joined(const std::wstring& folder, const std::wstring& name) {
  return folder + (folder.back() == L'/' ? L"" : shownAsJoined(L"/")) + name;
}

class JoinTest : public ::testing::Test {
 public:
  RunOptions inside() const {
    RunOptions options;
    options.workingFolder = dir.wide();
    options.withoutPrivileges = withoutPrivileges;
    return options;
  }
  RunResult split(const std::vector<std::wstring>& arguments) {
    return runFilesplit(arguments, inside());
  }
  /// filejoin's run; with `errorsApart`, its standard error in `err`.
  RunResult join(const std::vector<std::wstring>& arguments, bool errorsApart = false) {
    RunOptions options = inside();
    options.errorsApart = errorsApart;
    return runFilejoin(arguments, options);
  }
  TempDir dir;
  bool withoutPrivileges = false;  // a row's: the tools run without them
};

// ---- Round trips ------------------------------------------------------------

enum class Via { script, folder, scriptAndNewFolder, deviceNamespaceFolder };

struct RoundTrip {
  const char* name;
  std::wstring input;  // its stem names the script
  uint64_t size;
  bool sparse;
  size_t pieces;
  Via via = Via::script;
  bool posixOnly = false;  // a name Windows cannot hold
};

void PrintTo(const RoundTrip& c, std::ostream* out) { *out << c.name; }

class JoinRoundTripTest : public JoinTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(JoinRoundTripTest, RebuildsTheInputExactly) {
  const RoundTrip& c = GetParam();
  if (c.posixOnly && windowsPlatform())
    GTEST_SKIP() << "Windows cannot hold this name; the TargetNames refusals test it";
  if (c.sparse) {
    writeFile(dir / c.input, "");
    fs::resize_file(platform::nativePath(dir / c.input), c.size);
  } else {
    writeFile(dir / c.input, patternBytes(c.size, 9));
  }
  const RunResult splitRun = split({c.input, L"1", L"parts"});
  ASSERT_EQ(splitRun.exitCode, split_exit::kSuccess) << splitRun.out;
  const std::wstring stem = platform::widePath(platform::nativePath(c.input).stem());
  const auto pieces = listing(dir / L"parts");
  ASSERT_EQ(pieces.size(), c.pieces + 2);

  std::vector<std::wstring> arguments{L"parts/" + stem + L".bat"};
  std::wstring script = arguments[0], folder = L"parts/", header;
  if (c.via == Via::folder) {
    arguments = {L"parts"};
    script = joined(L"parts", stem + L".bat");
    folder = joined(L"parts", L"");
  }
  if (c.via == Via::scriptAndNewFolder) {
    arguments.push_back(L"out/new");
    folder = L"out/new";
    header = L"Output Folder: out/new\n";
  }
  if (c.via == Via::deviceNamespaceFolder) {
    if (!windowsPlatform()) GTEST_SKIP() << "\\\\.\\ paths are the Windows API's";
    arguments.push_back(L"\\\\.\\" + dir.wide() + L"\\out");
    folder = arguments.back();
    header = L"Output Folder: " + folder + L"\n";
  }
  const std::wstring target =
      folder.back() == L'/' || folder.back() == L'\\' ? folder + c.input : joined(folder, c.input);
  const std::wstring digest = script.substr(0, script.size() - 3) + L"md5";
  const RunResult result = join(arguments, true);
  EXPECT_EQ(result.exitCode, join_exit::kSuccess);
  EXPECT_EQ(result.err, "");
  // As many dots as the split printed after its settings.
  const std::string splitDots =
      splitRun.out.substr(splitRun.out.find('\n', splitRun.out.find("Dividing.....")) + 1);
  EXPECT_EQ(result.out,
            consoleBytes(L"Script: " + arguments[0] + L"\n" + header + L"Joining.....\n" +
                         std::wstring(splitDots.size(), L'.') + L"\n\"" + target +
                         L"\" was rebuilt and matches \"" + digest + L"\".\n"));
  // The test's own reads take the plain path.
  const std::wstring rebuilt =
      c.via == Via::deviceNamespaceFolder ? dir / (L"out/" + c.input) : dir / target;
  EXPECT_TRUE(readFile(rebuilt) == readFile(dir / c.input)) << "other bytes rebuilt";
  auto after = listing(dir / L"parts");
  if (c.via == Via::script || c.via == Via::folder)
    after.erase(platform::nativePath(c.input).u8string());
  EXPECT_TRUE(after == pieces) << "the pieces' folder changed";
  if (c.via == Via::scriptAndNewFolder) {
    EXPECT_EQ(listing(dir / L"out/new").size(), 1u) << "more than the rebuilt file was left";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, JoinRoundTripTest,
    ::testing::Values(
        RoundTrip{"ExactlyOnePiece", L"in.bin", kMiB, false, 1},
        RoundTrip{"OneByteMoreThanAPiece", L"in.bin", kMiB + 1, false, 2},
        RoundTrip{"OneByteLessThanTwoPieces", L"in.bin", 2 * kMiB - 1, false, 2},
        RoundTrip{"ExactMultiple", L"in.bin", 3 * kMiB, false, 3},
        RoundTrip{"ThroughTheFolder", L"in.bin", 3 * kMiB + 5, false, 4, Via::folder},
        RoundTrip{"IntoANewNestedFolder", L"in.bin", 2 * kMiB + 5, false, 3,
                  Via::scriptAndNewFolder},
        RoundTrip{"ThreeHundredOnePiecesOnTwoLines", L"in.bin", 301 * kMiB, true, 301},
        RoundTrip{"BlanksAndPercents", L"my file 50% off.iso", 2 * kMiB + 3, false, 3},
        RoundTrip{"NonAsciiInTheBmp", L"r\u00e9sum\u00e9 \u20ac.iso", 2 * kMiB + 3, false, 3},
        RoundTrip{"OutsideTheBmp", L"\U0001D11E song.flac", 2 * kMiB + 3, false, 3,
                  Via::scriptAndNewFolder},
        RoundTrip{"IntoADeviceNamespaceFolder", L"in.bin", 2 * kMiB + 5, false, 3,
                  Via::deviceNamespaceFolder},
        RoundTrip{"LongNameBreaksLines", std::wstring(200, L'n') + L".bin", 25 * kMiB, true, 25,
                  Via::folder},
        // Names that must come back where they are plain names.
        RoundTrip{"ColonNameComesBack", L"x:y.iso", kMiB + 3, false, 2, Via::scriptAndNewFolder,
                  true},
        RoundTrip{"BackslashNameComesBack", L"a\\b", kMiB + 3, false, 2, Via::scriptAndNewFolder,
                  true},
        RoundTrip{"DeviceNameIsPlainHere", L"NUL", kMiB + 3, false, 2, Via::scriptAndNewFolder,
                  true},
        // 249 letters and ".bin": 253 bytes, the longest name whose pieces
        // ("NAME_1") a file system of 255-byte names holds.
        RoundTrip{"LongestNameComesBack", std::wstring(249, L'n') + L".bin", kMiB + 3, false, 2,
                  Via::scriptAndNewFolder}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Refusals, checks and what a mismatch leaves ------------------------------

// A split of in.bin (3 MiB and 5 bytes) into parts/: in.bin_1 to in.bin_4,
// in.bat and in.md5.
class JoinCaseTest : public JoinTest {
 public:
  void SetUp() override {
    input = patternBytes(3 * kMiB + 5, 12);
    writeFile(dir / L"in.bin", input);
    ASSERT_EQ(split({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  }
  void resize(const std::wstring& file, uint64_t size) {
    fs::resize_file(platform::nativePath(dir / file), size);
  }
  void flipByte(const std::wstring& file, size_t at) {
    std::string bytes = readFile(dir / file);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
    writeFile(dir / file, bytes);
  }
  std::string input;
  // A file another program holds open for writing (a download still
  // running, a sync client), from a row's preparation to the test's end.
  std::unique_ptr<std::ofstream> fileInUse;
};

const std::wstring kHeader = L"Script: parts/in.bat\nJoining.....\n";

struct Refusal {
  const char* name;
  std::function<void(JoinCaseTest&)> prepare;
  std::vector<std::wstring> arguments;
  int exitCode;
  std::wstring out;  // before the usage text
};

void PrintTo(const Refusal& c, std::ostream* out) { *out << c.name; }

// Spelled out, not taken from the catalogue: after a command line it cannot
// run, filejoin prints this usage text byte for byte (callers compare it).
const std::wstring kUsage =
    L"\nUsage:\n> filejoin [--unverified] [--] script [output folder]\n"
    L"> filejoin --check [--] script\n> filejoin --version\n> filejoin --help\n"
    L"  script: the .bat file filesplit wrote, or the folder holding it; the pieces are read "
    L"beside it.\n"
    L"  if [output folder] is not entered, the script's folder is used.\n"
    L"  --check reads the pieces and compares them with the .md5 file; it writes nothing.\n"
    L"  --unverified rebuilds even without the .md5 file, which a split that did not finish "
    L"lacks.\n"
    L"  -- ends the options: a script named like an option follows it.\n"
    L"  Exit codes: 0 done and verified, 1 a read, write or rename failed or no room, 2 usage, 3 "
    L"a piece is missing or no file (a link is not followed),\n"
    L"  4 the script or .md5 file is unusable, 5 a piece has the wrong size, 8 the file exists,\n"
    L"  9 no output folder, 10 the digest differs, 11 no or an empty .md5 file (not verified),\n"
    L"  12 interrupted. A failure is told on standard error, the dots and a success on standard "
    L"output.\n"
    L"  ex. filejoin " +
    std::wstring(platform::kJoinUsageExample) + L"\n";

class JoinRefusalTest : public JoinCaseTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(JoinRefusalTest, TellsWhyAndWritesNothing) {
  const Refusal& c = GetParam();
  if (c.prepare != nullptr) c.prepare(*this);
  if (IsSkipped()) return;
  const auto before = snapshot(dir.wide());
  const RunResult result = join(c.arguments, true);
  EXPECT_EQ(result.exitCode, c.exitCode);
  // The settings on standard output, the refusal (and any usage) on standard error.
  const std::wstring all = c.out + (c.exitCode == join_exit::kUsage ? kUsage : L"");
  const size_t settingsEnd = all.find(L".....\n");
  const size_t errorsStart = settingsEnd == std::wstring::npos ? 0 : settingsEnd + 6;
  EXPECT_EQ(result.out, consoleBytes(all.substr(0, errorsStart)));
  EXPECT_EQ(result.err, consoleBytes(all.substr(errorsStart)));
  EXPECT_TRUE(snapshot(dir.wide()) == before) << "a refused join created or changed files";
}

const std::wstring kLongName(300, L'n');
const std::wstring kNotPlain = L"\"parts/in.bat\" is not a rejoin script of filesplit (line 2: ";

INSTANTIATE_TEST_SUITE_P(
    Cases, JoinRefusalTest,
    ::testing::Values(
        Refusal{"MissingPiece",
                [](JoinCaseTest& t) { fs::remove(t.dir.native() / "parts" / "in.bin_2"); },
                {L"parts/in.bat"},
                join_exit::kPieceMissing,
                kHeader + L"The piece \"parts/in.bin_2\" is missing.\n"},
        Refusal{"PieceIsAFolder",
                [](JoinCaseTest& t) {
                  fs::remove(t.dir.native() / "parts" / "in.bin_4");
                  fs::create_directory(t.dir.native() / "parts" / "in.bin_4");
                },
                {L"parts/in.bat"},
                join_exit::kPieceMissing,
                kHeader + L"The piece \"parts/in.bin_4\" is not a file.\n"},
        // A link to a file of the same size outside the pieces' folder.
        Refusal{"PieceIsALink",
                [](JoinCaseTest& t) {
                  fs::copy_file(t.dir.native() / "parts" / "in.bin_2", t.dir.native() / "secret");
                  fs::remove(t.dir.native() / "parts" / "in.bin_2");
                  std::error_code refused;
                  fs::create_symlink("../secret", t.dir.native() / "parts" / "in.bin_2", refused);
                  if (refused) GTEST_SKIP() << "no symbolic link can be made here";
                },
                {L"--unverified", L"parts/in.bat"},
                join_exit::kPieceMissing,
                kHeader + L"The piece \"parts/in.bin_2\" is not a file.\n"},
        Refusal{"ShortPieceInTheMiddle",
                [](JoinCaseTest& t) { t.resize(L"parts/in.bin_2", 1000); },
                {L"parts/in.bat"},
                join_exit::kPieceSizeWrong,
                kHeader + L"The piece \"parts/in.bin_2\" has " + childNumber(1000) + L" bytes; " +
                    childNumber(kMiB) + L" expected.\n"},
        Refusal{"ShortFirstPiece",
                [](JoinCaseTest& t) { t.resize(L"parts/in.bin_1", kMiB - 1); },
                {L"parts/in.bat"},
                join_exit::kPieceSizeWrong,
                kHeader + L"The piece \"parts/in.bin_1\" has " + childNumber(kMiB - 1) +
                    L" bytes; " + childNumber(kMiB) + L" expected.\n"},
        Refusal{"LongerLastPiece",
                [](JoinCaseTest& t) { t.resize(L"parts/in.bin_4", kMiB + 1); },
                {L"parts/in.bat"},
                join_exit::kPieceSizeWrong,
                kHeader + L"The piece \"parts/in.bin_4\" has " + childNumber(kMiB + 1) +
                    L" bytes; at most " + childNumber(kMiB) + L" expected.\n"},
        Refusal{"EmptyLastPiece",
                [](JoinCaseTest& t) { t.resize(L"parts/in.bin_4", 0); },
                {L"parts/in.bat"},
                join_exit::kPieceSizeWrong,
                kHeader + L"The piece \"parts/in.bin_4\" is empty.\n"},
        Refusal{"ExtraTextInTheScript",
                [](JoinCaseTest& t) {
                  writeFile(t.dir / L"parts/in.bat",
                            readFile(t.dir / L"parts/in.bat") + "del in.bin_1\r\n");
                },
                {L"parts/in.bat"},
                join_exit::kScriptRefused,
                kHeader +
                    L"\"parts/in.bat\" is not a rejoin script of filesplit (line 3: \"copy /b\" "
                    L"expected).\n"},
        Refusal{"PieceNamedDotDot",
                [](JoinCaseTest& t) {
                  writeFile(t.dir / L"parts/in.bat",
                            "chcp 65001\r\ncopy /b \"in.bin_1\" + \"..\" \"in.bin\"\r\n");
                },
                {L"parts/in.bat"},
                join_exit::kScriptRefused,
                kHeader + kNotPlain + L"\"..\" is not a plain file name).\n"},
        Refusal{"PieceOutsideTheFolder",
                [](JoinCaseTest& t) {
                  writeFile(t.dir / L"parts/in.bat",
                            "chcp 65001\r\ncopy /b \"..\\in.bin\" \"in.bin\"\r\n");
                },
                {L"parts/in.bat"},
                // A backslash separates folders on Windows only; elsewhere it
                // is a character of the name.
                windowsPlatform() ? join_exit::kScriptRefused : join_exit::kPieceMissing,
                kHeader + (windowsPlatform()
                               ? kNotPlain + L"\"..\\in.bin\" is not a plain file name).\n"
                               : std::wstring(L"The piece \"parts/..\\in.bin\" is missing.\n"))},
        Refusal{"TargetOutsideTheFolder",
                [](JoinCaseTest& t) {
                  writeFile(t.dir / L"parts/in.bat",
                            "chcp 65001\r\ncopy /b \"in.bin_1\" \"../copy.bin\"\r\n");
                },
                {L"parts/in.bat"},
                join_exit::kScriptRefused,
                kHeader + kNotPlain + L"\"../copy.bin\" is not a plain file name).\n"},
        Refusal{"SinglePercentInTheScript",
                [](JoinCaseTest& t) {
                  writeFile(t.dir / L"parts/in.bat",
                            "chcp 65001\r\ncopy /b \"in.bin_1\" \"%TEMP%\"\r\n");
                },
                {L"parts/in.bat"},
                join_exit::kScriptRefused,
                kHeader + kNotPlain + L"a single \"%\" in a name).\n"},
        // A name past the system's limit for one: told in words, as a
        // script that cannot be read.
        Refusal{"ScriptNameTooLong",
                [](JoinCaseTest&) {
                  if (windowsPlatform()) GTEST_SKIP() << "Windows tells such a name apart";
                },
                {kLongName + L".bat"},
                join_exit::kScriptRefused,
                L"Script: " + kLongName + L".bat\nJoining.....\nCannot use \"" + kLongName +
                    L".bat\": " + platform::systemErrorText(ENAMETOOLONG) + L"\n"},
        Refusal{"TargetExists",
                [](JoinCaseTest& t) { writeFile(t.dir / L"parts/in.bin", "mine"); },
                {L"parts/in.bat"},
                join_exit::kOutputExists,
                kHeader + L"\"parts/in.bin\" exists already.\n"},
        Refusal{"NoDigestFile",
                [](JoinCaseTest& t) { fs::remove(t.dir.native() / "parts" / "in.md5"); },
                {L"parts/in.bat"},
                join_exit::kUnverified,
                kHeader + L"There is no \"parts/in.md5\": the split may not have finished; "
                          L"nothing was written (--unverified rebuilds anyway).\n"},
        Refusal{"EmptyDigestFile",  // a split whose digest write failed
                [](JoinCaseTest& t) { writeFile(t.dir / L"parts/in.md5", ""); },
                {L"parts/in.bat"},
                join_exit::kUnverified,
                kHeader + L"\"parts/in.md5\" is empty: the split may not have finished; "
                          L"nothing was written (--unverified rebuilds anyway).\n"},
        Refusal{"FolderWithoutAScript",
                [](JoinCaseTest& t) { fs::create_directory(t.dir.native() / "empty"); },
                {L"empty"},
                join_exit::kScriptRefused,
                L"Script: empty\nJoining.....\n\"empty\" holds no .bat file.\n"},
        Refusal{"FolderWithTwoScripts",
                [](JoinCaseTest& t) { writeFile(t.dir / L"parts/other.BAT", "x"); },
                {L"parts"},
                join_exit::kScriptRefused,
                L"Script: parts\nJoining.....\n\"parts\" holds 2 .bat files; name the one to "
                L"use.\n"},
        Refusal{"NoScript",
                nullptr,
                {L"parts/none.bat"},
                join_exit::kScriptRefused,
                L"Script: parts/none.bat\nJoining.....\nThe script \"parts/none.bat\" does not "
                L"exist.\n"},
        Refusal{"DigestFileWithOtherText",
                [](JoinCaseTest& t) {
                  writeFile(t.dir / L"parts/in.md5", readFile(t.dir / L"parts/in.md5") + " x");
                },
                {L"parts/in.bat"},
                join_exit::kScriptRefused,
                kHeader + L"\"parts/in.md5\" does not hold an MD5 digest (32 hexadecimal "
                          L"digits).\n"},
        Refusal{"DigestFileIsAFolder",
                [](JoinCaseTest& t) {
                  fs::remove(t.dir.native() / "parts" / "in.md5");
                  fs::create_directory(t.dir.native() / "parts" / "in.md5");
                },
                {L"parts/in.bat"},
                join_exit::kScriptRefused,
                kHeader + L"\"parts/in.md5\" is not a file.\n"},
        Refusal{"NoArguments", nullptr, {}, join_exit::kUsage, L""},
        Refusal{"UnknownOption",
                nullptr,
                {L"--force", L"parts"},
                join_exit::kUsage,
                L"Unknown option \"--force\".\n"},
        Refusal{"OptionAfterTheScript",
                nullptr,
                {L"parts", L"--check"},
                join_exit::kUsage,
                L"Unknown option \"--check\".\n"},
        Refusal{"TooManyArguments",
                nullptr,
                {L"parts/in.bat", L"out", L"more"},
                join_exit::kUsage,
                L"Too many arguments.\n"},
        Refusal{"CheckWithAFolder",
                nullptr,
                {L"--check", L"parts", L"out"},
                join_exit::kUsage,
                L"Too many arguments.\n"},
        Refusal{"CheckWithoutScript",
                nullptr,
                {L"--check"},
                join_exit::kUsage,
                L"--check needs the script.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

#ifdef _WIN32
std::string onlyOnPosix() { return "no FIFOs, symbolic links or permission bits here"; }
void makeFifo(const fs::path&) {}
#else
std::string onlyOnPosix() { return ""; }
void makeFifo(const fs::path& path) { ::mkfifo(path.c_str(), 0600); }
#endif

// The file `name` in parts/ held open for writing by another program: in use
// (Windows: a sharing violation; Linux: a read lease refused).
Refusal inUse(const char* row, const std::wstring& name, int exitCode) {
  return {row,
          [name](JoinCaseTest& t) {
            t.fileInUse = std::make_unique<std::ofstream>(
                platform::nativePath(t.dir / (L"parts/" + name)), std::ios::app);
          },
          {L"parts/in.bat"},
          exitCode,
          kHeader + L"Cannot read \"parts/" + name + L"\": it is in use by another program\n"};
}

// Pieces and final names other than the split left them: each told before
// anything is written, nothing replaced, nothing blocks.
INSTANTIATE_TEST_SUITE_P(
    PiecesAndFinalNames, JoinRefusalTest,
    ::testing::Values(
        // Told as a split that did not finish, not as the piece it was
        // writing (short) or those it had not begun (missing).
        Refusal{"StoppedSplitLeavesNoDigest",
                [](JoinCaseTest& t) {
                  fs::remove(t.dir.native() / "parts" / "in.md5");
                  fs::resize_file(t.dir.native() / "parts" / "in.bin_3", 2);
                  fs::remove(t.dir.native() / "parts" / "in.bin_4");
                },
                {L"parts/in.bat"},
                join_exit::kUnverified,
                kHeader +
                    L"There is no \"parts/in.md5\": the split may not have finished; nothing was "
                    L"written (--unverified rebuilds anyway).\n"},
        Refusal{"PieceReplacedByAFifo",
                [](JoinCaseTest& t) {
                  if (!onlyOnPosix().empty()) GTEST_SKIP() << onlyOnPosix();
                  fs::remove(t.dir.native() / "parts" / "in.bin_2");
                  makeFifo(t.dir.native() / "parts" / "in.bin_2");
                },
                {L"parts/in.bat"},
                join_exit::kPieceMissing,
                kHeader + L"The piece \"parts/in.bin_2\" is not a file.\n"},
        Refusal{"DanglingLinkAtTheFinalName",
                [](JoinCaseTest& t) {
                  if (!onlyOnPosix().empty()) GTEST_SKIP() << onlyOnPosix();
                  fs::create_symlink("nowhere", t.dir.native() / "parts" / "in.bin");
                },
                {L"parts/in.bat"},
                join_exit::kOutputExists,
                kHeader + L"\"parts/in.bin\" exists already.\n"},
        Refusal{"PieceThatIsALinkLoop",
                [](JoinCaseTest& t) {
                  if (!onlyOnPosix().empty()) GTEST_SKIP() << onlyOnPosix();
                  fs::remove(t.dir.native() / "parts" / "in.bin_3");
                  fs::create_symlink("in.bin_3", t.dir.native() / "parts" / "in.bin_3");
                },
                {L"parts/in.bat"},
                join_exit::kPieceMissing,
                kHeader + L"The piece \"parts/in.bin_3\" is not a file.\n"},
        Refusal{"UnreadablePieceAsAnotherUser",
                [](JoinCaseTest& t) {
                  if (!onlyOnPosix().empty()) GTEST_SKIP() << onlyOnPosix();
                  fs::permissions(t.dir.native(), fs::perms::all, fs::perm_options::add);
                  fs::permissions(t.dir.native() / "parts", fs::perms::all, fs::perm_options::add);
                  for (const auto& entry : fs::directory_iterator(t.dir.native() / "parts"))
                    fs::permissions(entry.path(), fs::perms::others_read, fs::perm_options::add);
                  fs::permissions(t.dir.native() / "parts" / "in.bin_3", fs::perms::none);
                  t.withoutPrivileges = true;
                },
                {L"parts/in.bat"},
                join_exit::kFailed,
                kHeader + L"Cannot read \"parts/in.bin_3\": Permission denied.\n"},
        inUse("PieceInUseByAnotherProgram", L"in.bin_3", join_exit::kFailed),
        Refusal{"OddPieceIsTheOneNamed",
                [](JoinCaseTest& t) { t.resize(L"parts/in.bin_3", kMiB + 1); },
                {L"parts/in.bat"},
                join_exit::kPieceSizeWrong,
                kHeader + L"The piece \"parts/in.bin_3\" has " + childNumber(kMiB + 1) +
                    L" bytes; " + childNumber(kMiB) + L" expected.\n"},
        inUse("ScriptInUseByAnotherProgram", L"in.bat", join_exit::kScriptRefused),
        inUse("DigestFileInUseByAnotherProgram", L"in.md5", join_exit::kScriptRefused),
        // A query that fails is told in filejoin's words, not the library's.
        Refusal{
            "DigestFileThatIsALinkLoop",
            [](JoinCaseTest& t) {
              if (!onlyOnPosix().empty()) GTEST_SKIP() << onlyOnPosix();
              fs::remove(t.dir.native() / "parts" / "in.md5");
              fs::create_symlink("in.md5", t.dir.native() / "parts" / "in.md5");
            },
            {L"parts/in.bat"},
            join_exit::kFailed,
            kHeader + L"Cannot use \"parts/in.md5\": " + platform::systemErrorText(ELOOP) + L"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A script that names `target` as the file to rebuild, refused showing it as
// `shown` before the output folder is made; with `windowsOnly`, a name only
// Windows cannot hold (elsewhere a plain one: JoinRoundTripTest's
// DeviceNameIsPlainHere and others).
Refusal refusedTarget(const char* name, const std::string& target, const std::wstring& shown,
                      bool windowsOnly = true) {
  return {name,
          [target, windowsOnly](JoinCaseTest& t) {
            if (windowsOnly && !windowsPlatform())
              GTEST_SKIP() << "a plain name here; the POSIX rows test such names";
            writeFile(t.dir / L"parts/in.bat",
                      "chcp 65001\r\ncopy /b \"in.bin_1\" + \"in.bin_2\" \"" + target + "\"\r\n");
          },
          {L"parts/in.bat", L"out"},
          join_exit::kScriptRefused,
          L"Script: parts/in.bat\nOutput Folder: out\nJoining.....\n" + kNotPlain + L"\"" + shown +
              L"\" is not a plain file name).\n"};
}

INSTANTIATE_TEST_SUITE_P(TargetNames, JoinRefusalTest,
                         ::testing::Values(
                             // Names Windows cannot hold...
                             refusedTarget("NulRefused", "NUL", L"NUL"),
                             refusedTarget("ConRefused", "con", L"con"),
                             refusedTarget("Com1Refused", "COM1", L"COM1"),
                             refusedTarget("NulWithExtensionRefused", "nul.txt", L"nul.txt"),
                             refusedTarget("TrailingDotRefused", "out.", L"out."),
                             refusedTarget("TrailingBlankRefused", "out ", L"out "),
                             // ...and control characters (the last a DEL), which never reach the
                             // terminal raw.
                             refusedTarget("TerminalCommandsInATarget", "\x1b[2J\x1b]0;owned\x07X",
                                           L"\\x1b[2J\\x1b]0;owned\\x07X", false),
                             refusedTarget("C1AndCarriageReturnInATarget",
                                           "a\xC2\x9B"
                                           "b\rc",
                                           L"a\\u009bb\\rc", false),
                             refusedTarget("DeleteInATarget", "a\177b", L"a\\x7fb", false)),
                         [](const auto& info) { return std::string(info.param.name); });

bool holdsTemporaryFile(const std::map<std::string, uint64_t>& files) {
  return std::any_of(files.begin(), files.end(),
                     [](const auto& file) { return file.first.rfind("filejoin-", 0) == 0; });
}

// A join ended outright while it writes (taskkill /F, the system's end of a
// closed window past the routine's time, kill -KILL) leaves no temporary
// file: Windows marks it for deletion from its creation, Linux writes it
// unnamed.
TEST_F(JoinCaseTest, KilledOutrightLeavesNoTemporaryFile) {
  bool temporaryWhileHeld = false;
  const bool held =
      runFilejoinKilled({L"parts/in.bat"}, inside(), consoleBytes(kHeader).size() + 1,
                        [&] { temporaryWhileHeld = holdsTemporaryFile(listing(dir / L"parts")); });
  EXPECT_TRUE(held) << "the join was not held while it wrote";
  if (windowsPlatform()) {
    EXPECT_TRUE(temporaryWhileHeld) << "no temporary file to leave";
  }
  EXPECT_FALSE(holdsTemporaryFile(listing(dir / L"parts")));
  EXPECT_FALSE(fs::exists(platform::nativePath(dir / L"parts/in.bin")));
}

TEST_F(JoinCaseTest, OutputFolderThatIsAFileCannotBeMade) {
  const auto before = snapshot(dir.wide());
  const RunResult result = join({L"parts/in.bat", L"parts/in.bin_1"});
  EXPECT_EQ(result.exitCode, join_exit::kOutputFolderFailed);
  EXPECT_EQ(result.out, consoleBytes(L"Script: parts/in.bat\nOutput Folder: parts/in.bin_1\n"
                                     L"Joining.....\nCannot use the output folder "
                                     L"\"parts/in.bin_1\": " +
                                     platform::systemErrorText(EEXIST) + L"\n"));
  EXPECT_TRUE(snapshot(dir.wide()) == before);
}

TEST_F(JoinCaseTest, VersionIsTheProjectsOwn) {
  const RunResult result = join({L"--version"});
  EXPECT_EQ(result.exitCode, join_exit::kSuccess);
  const std::string version = FILESPLIT_VERSION;
  EXPECT_EQ(result.out,
            consoleBytes(L"filejoin " + std::wstring(version.begin(), version.end()) + L"\n"));
}

TEST_F(JoinCaseTest, HelpPrintsTheUsageAndSucceeds) {
  const RunResult result = join({L"--help"});
  EXPECT_EQ(result.exitCode, join_exit::kSuccess);
  // --help prints the usage text without the empty line before it.
  EXPECT_EQ(result.out, consoleBytes(kUsage.substr(1)));
}

TEST_F(JoinCaseTest, CheckReadsGoodPiecesAndWritesNothing) {
  const auto before = snapshot(dir.wide());
  const RunResult result = join({L"--check", L"parts/in.bat"});
  EXPECT_EQ(result.exitCode, join_exit::kSuccess);
  EXPECT_EQ(result.out, consoleBytes(L"Script: parts/in.bat\nChecking.....\n....\nThe pieces "
                                     L"match \"parts/in.md5\".\n"));
  EXPECT_TRUE(snapshot(dir.wide()) == before);
}

TEST_F(JoinCaseTest, CheckFindsOneFlippedByteAndWritesNothing) {
  flipByte(L"parts/in.bin_3", 4711);
  const auto before = snapshot(dir.wide());
  const RunResult result = join({L"--check", L"parts"});
  EXPECT_EQ(result.exitCode, join_exit::kDigestMismatch);
  EXPECT_EQ(result.out, consoleBytes(L"Script: parts\nChecking.....\n....\nThe pieces do not "
                                     L"match \"" +
                                     joined(L"parts", L"in.md5") + L"\".\n"));
  EXPECT_TRUE(snapshot(dir.wide()) == before);
}

TEST_F(JoinCaseTest, CheckWithoutDigestFileSaysSo) {
  fs::remove(dir.native() / "parts" / "in.md5");
  const auto before = snapshot(dir.wide());
  const RunResult result = join({L"--check", L"parts/in.bat"});
  EXPECT_EQ(result.exitCode, join_exit::kUnverified);
  EXPECT_EQ(result.out,
            consoleBytes(L"Script: parts/in.bat\nChecking.....\n....\nThe pieces "
                         L"were read but not verified: there is no \"parts/in.md5\".\n"));
  EXPECT_TRUE(snapshot(dir.wide()) == before);
}

TEST_F(JoinCaseTest, MismatchNeverGetsTheFinalName) {
  flipByte(L"parts/in.bin_4", 2);
  const RunResult result = join({L"parts/in.bat", L"out"});
  EXPECT_EQ(result.exitCode, join_exit::kDigestMismatch);
  // Whatever the file system, the run's temporary file does not stay.
  const auto left = snapshot(dir / L"out");
  std::wstring told;
  for (const auto& [name, bytes] : left) {
    EXPECT_EQ(name.compare(0, 9, "filejoin-"), 0) << name;
    told = L"\"" + joined(L"out", std::wstring(name.begin(), name.end())) +
           L"\" is left from this run and may be removed.\n";
  }
  EXPECT_LE(left.size(), 1u);
  EXPECT_EQ(result.out, consoleBytes(L"Script: parts/in.bat\nOutput Folder: out\nJoining.....\n"
                                     L"....\nThe rebuilt file does not match \"parts/in.md5\".\n" +
                                     told));
}

TEST_F(JoinCaseTest, WithoutDigestFileRebuildsAndSaysItIsNotVerified) {
  fs::remove(dir.native() / "parts" / "in.md5");
  const RunResult result = join({L"--unverified", L"parts/in.bat"});
  EXPECT_EQ(result.exitCode, join_exit::kUnverified);
  EXPECT_EQ(result.out, consoleBytes(L"Script: parts/in.bat\nJoining.....\n"
                                     L"....\n\"parts/in.bin\" was rebuilt but not "
                                     L"verified: there is no \"parts/in.md5\".\n"));
  EXPECT_TRUE(readFile(dir / L"parts/in.bin") == input);
  EXPECT_EQ(snapshot(dir / L"parts").size(), 6u) << "the script, 4 pieces, the rebuilt file";
}

TEST_F(JoinCaseTest, EditedScriptAndDigestFileAreRead) {
  // As an editor may save them: LF line ends, the digest in capitals with a
  // line end and blanks after it.
  std::string script = readFile(dir / L"parts/in.bat");
  script.erase(std::remove(script.begin(), script.end(), '\r'), script.end());
  writeFile(dir / L"parts/in.bat", script);
  std::string digest = readFile(dir / L"parts/in.md5");
  std::transform(digest.begin(), digest.end(), digest.begin(), ::toupper);
  writeFile(dir / L"parts/in.md5", digest + "  \r\n");
  const RunResult result = join({L"parts/in.bat"});
  EXPECT_EQ(result.exitCode, join_exit::kSuccess) << result.out;
  EXPECT_TRUE(readFile(dir / L"parts/in.bin") == input);
}

// ---- What does not stand in a join's way ------------------------------------

const std::wstring kRebuilt = L"\"parts/in.bin\" was rebuilt and matches \"parts/in.md5\".\n";

// `result` is a success that ends with `line`: parts/in.bin holds the input,
// and no temporary file is left.
void expectRebuilt(const JoinCaseTest& t, const RunResult& result, const std::wstring& line) {
  EXPECT_EQ(result.exitCode, join_exit::kSuccess) << result.out;
  const std::string tail = consoleBytes(line);
  ASSERT_GE(result.out.size(), tail.size()) << result.out;
  EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail);
  EXPECT_TRUE(fs::is_regular_file(t.dir.native() / "parts" / "in.bin") &&
              readFile(t.dir / L"parts/in.bin") == t.input);
  for (const auto& entry : fs::directory_iterator(t.dir.native() / "parts"))
    EXPECT_NE(entry.path().filename().string().rfind("filejoin-", 0), 0u)
        << "a temporary file left";
}

TEST_F(JoinCaseTest, LeftoverTemporaryNamesBlockNothing) {
  writeFile(dir / L"parts/in.bin.filejoin-tmp", "old");
  fs::rename(dir.native() / "parts" / "in.bin.filejoin-tmp", dir.native() / "in.bin.filejoin-tmp");
  expectRebuilt(*this, join({L"parts/in.bat"}), kRebuilt);
}

TEST_F(JoinCaseTest, DigestFileOfTheMostBytes) {
  const std::wstring digest = dir / L"parts/in.md5";
  writeFile(digest, readFile(digest) + std::string(4096 - 32 - 2, ' ') + "\r\n");
  expectRebuilt(*this, join({L"parts/in.bat"}), kRebuilt);
}

// Run where the pieces are: the second "--" is the script's name.
TEST_F(JoinCaseTest, ScriptNamedLikeTheEndOfOptions) {
  fs::rename(dir.native() / "parts" / "in.bat", dir.native() / "parts" / "--");
  fs::rename(dir.native() / "parts" / "in.md5", dir.native() / "parts" / "--.md5");
  RunOptions options = inside();
  options.workingFolder = dir / L"parts";
  expectRebuilt(*this, runFilejoin({L"--", L"--"}, options),
                L"\"in.bin\" was rebuilt and matches \"--.md5\".\n");
}

TEST_F(JoinCaseTest, EndOfOptionsBeforeTheScript) {
  expectRebuilt(*this, join({L"--", L"parts/in.bat"}), kRebuilt);
}

}  // namespace
