// filejoin end to end, what it refuses: every command line it cannot run,
// script and digest file it cannot use, and piece that is not as the split
// left it has its code and its line, and nothing is written. The usage text
// is compared here, after a refusal and from --help.
#include <gtest/gtest.h>

#include "join/join_exit_codes.h"
#include "join_fixture.h"

namespace fs = std::filesystem;

namespace {

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

TEST_F(JoinCaseTest, HelpPrintsTheUsageAndSucceeds) {
  const RunResult result = join({L"--help"});
  EXPECT_EQ(result.exitCode, join_exit::kSuccess);
  // --help prints the usage text without the empty line before it.
  EXPECT_EQ(result.out, consoleBytes(kUsage.substr(1)));
}

const std::wstring kLongName(300, L'n');

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

}  // namespace
