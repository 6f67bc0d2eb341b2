// filejoin end to end, pieces and names other than the split left them:
// FIFOs, links, unreadable or busy pieces, and targets Windows cannot hold
// or that would drive the terminal. Each is refused before anything is
// written (JoinRefusalTest's rows).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cerrno>

#include "join/join_exit_codes.h"
#include "join_fixture.h"
#include "texts/join_texts.h"

namespace fs = std::filesystem;

namespace {

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
          join_texts::settings(L"parts/in.bat", L"out") + join_texts::kJoining + L"\n" + kNotPlain +
              L"\"" + shown + L"\" is not a plain file name).\n"};
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

}  // namespace
