// Whole splits, end to end: the real binary on real files, its exact
// output with the progress dots, the pieces, the script and the digest
// (what it refuses: split_failures_test.cpp).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "split/split_exit_codes.h"
#include "split_fixture.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace fs = std::filesystem;

namespace {

TEST_P(SplitTest, PiecesRejoinToTheInputAndDigestMatches) {
  const SplitCase& c = GetParam();
  if (c.sparse) {
    writeFile(dir / L"in.bin", "");
    fs::resize_file(platform::nativePath(dir / L"in.bin"), c.inputSize);
  } else {
    writeFile(dir / L"in.bin", patternBytes(c.inputSize, 3));
  }
  const RunResult result = split({L"in.bin", c.sizeMb});
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  EXPECT_EQ(result.out, consoleBytes(settings(L"in.bin", c.sizeMb) + std::wstring(c.dots, L'.')));
  std::map<std::string, uint64_t> expected{{"in.bat", 0}, {"in.md5", 32}};
  std::string joined;
  for (size_t i = 0; i < c.pieceSizes.size(); ++i) {
    const std::wstring piece = L"in.bin_" + std::to_wstring(i + 1);
    expected[std::string(piece.begin(), piece.end())] = c.pieceSizes[i];
    joined += readFile(dir / (L"in/" + piece));
  }
  auto actual = listing(dir / L"in");
  expected["in.bat"] = actual["in.bat"];
  EXPECT_EQ(actual, expected);
  EXPECT_TRUE(joined == readFile(dir / L"in.bin")) << "pieces do not rejoin to the input";
  EXPECT_EQ(readFile(dir / L"in/in.md5"), c.md5);
}

// Dots: one per block below 50 MiB; above, the input size over a fiftieth
// of it, rounded up.
INSTANTIATE_TEST_SUITE_P(
    Sizes, SplitTest,
    ::testing::Values(
        SplitCase{"ExactMultiple",
                  2 * kMiB,
                  false,
                  L"1",
                  {kMiB, kMiB},
                  2,
                  "99c6ff55f96e5778b84652612d24f46f"},
        SplitCase{"OneByteMore",
                  2 * kMiB + 1,
                  false,
                  L"1",
                  {kMiB, kMiB, 1},
                  3,
                  "6c55e47d7ac3bb565de4a40786ae2e4b"},
        SplitCase{
            "ExactlyOnePiece", kMiB, false, L"1", {kMiB}, 1, "4e082d74029a7b88ddbb2c7ce94002aa"},
        SplitCase{"TenMiBInOneMiBPieces", 10 * kMiB, true, L"1", std::vector<uint64_t>(10, kMiB),
                  10, "f1c9645dbc14efddc7d8a322685f26eb"},
        SplitCase{"TenMiBInTenMiBPieces",
                  10 * kMiB,
                  true,
                  L"10",
                  {10 * kMiB},
                  10,
                  "f1c9645dbc14efddc7d8a322685f26eb"},
        SplitCase{"FiftyMiBLessOne",
                  52428799,
                  true,
                  L"20",
                  {20 * kMiB, 20 * kMiB, 10 * kMiB - 1},
                  50,
                  "0653b15d4b57718fc81673545b761c66"},
        SplitCase{"FiftyMiB",
                  52428800,
                  true,
                  L"20",
                  {20 * kMiB, 20 * kMiB, 10 * kMiB},
                  50,
                  "25e317773f308e446cc84c503a6d1f85"},
        // Past 50 MiB a dot stands for a fiftieth of the input, not a block.
        SplitCase{"SeventyFiveMiB",
                  78643200,
                  true,
                  L"25",
                  {25 * kMiB, 25 * kMiB, 25 * kMiB},
                  50,
                  "91e10548686e30b5ee4720cf20037247"},
        SplitCase{"FiftyMiBAndOne",
                  52428801,
                  true,
                  L"25",
                  {25 * kMiB, 25 * kMiB, 1},
                  51,
                  "c4b1f245a37409c3c4ab0800e9c7d7b4"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SplitTest, ScriptIsWrittenExactly) {
  writeFile(dir / L"aaa.iso", patternBytes(3 * kMiB, 4));
  ASSERT_EQ(split({L"aaa.iso", L"1", L"out"}).exitCode, split_exit::kSuccess);
  EXPECT_EQ(readFile(dir / L"out/aaa.bat"),
            "chcp 65001\r\ncopy /b \"aaa.iso_1\" + \"aaa.iso_2\" + \"aaa.iso_3\" \"aaa.iso\"\r\n");
}

TEST_F(SplitTest, InputThatIsALinkSplitsAsItsTarget) {
  writeFile(dir / L"in.bin", patternBytes(2 * kMiB + 7, 12));
  std::error_code error;
  fs::create_symlink("in.bin", dir.native() / "link.bin", error);
  if (error || !fs::exists(dir.native() / "link.bin"))
    GTEST_SKIP() << "no symbolic link can be made from here (Wine makes none for "
                    "CreateSymbolicLinkW); tests/compare_builds.sh splits a link made on the host";
  ASSERT_EQ(split({L"in.bin", L"1", L"plain"}).exitCode, split_exit::kSuccess);
  const RunResult result = split({L"link.bin", L"1", L"linked"});
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  EXPECT_EQ(result.out, consoleBytes(settings(L"link.bin", L"1", L"linked") + L"..."));
  for (const wchar_t* piece : {L"_1", L"_2", L"_3"})
    EXPECT_TRUE(readFile(dir / (L"linked/link.bin" + std::wstring(piece))) ==
                readFile(dir / (L"plain/in.bin" + std::wstring(piece))))
        << "piece " << piece[1] << " differs";
  EXPECT_EQ(readFile(dir / L"linked/link.md5"), readFile(dir / L"plain/in.md5"));
  EXPECT_EQ(listing(dir / L"linked").size(), 5u);
}

// Past 4 GiB, where a 32-bit file position would wrap or fail: every piece
// full, the end of the input in the last one, the digest of the whole.
// Sparse (zeros between a start and an end), so that it is quick to make.
TEST(LargeInputTest, PastFourGiBEveryPieceAndTheDigestAreRight) {
  constexpr uint64_t kGiB = 1024 * kMiB;
  constexpr uint64_t kSize = 4 * kGiB + kMiB + 5;
  TempDir dir;
  writeFile(dir / L"big.bin", patternBytes(1000, 8));
  fs::resize_file(platform::nativePath(dir / L"big.bin"), kSize);
  {
    std::fstream end(platform::nativePath(dir / L"big.bin"),
                     std::ios::binary | std::ios::in | std::ios::out);
    end.seekp(static_cast<std::streamoff>(kSize - 5));
    end.write("tail!", 5);
  }
  RunOptions options;
  options.workingFolder = dir.wide();
  const RunResult result = runFilesplit({L"big.bin", L"1024"}, options);
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  // Not a multiple of 50 bytes: 51 dots.
  EXPECT_EQ(result.out,
            consoleBytes(settings(L"big.bin", childNumber(1024)) + std::wstring(51, L'.')));
  auto files = listing(dir / L"big");
  files.erase("big.bat");
  EXPECT_EQ(files, (std::map<std::string, uint64_t>{{"big.bin_1", kGiB},
                                                    {"big.bin_2", kGiB},
                                                    {"big.bin_3", kGiB},
                                                    {"big.bin_4", kGiB},
                                                    {"big.bin_5", kMiB + 5},
                                                    {"big.md5", 32}}));
  EXPECT_TRUE(readFile(dir / L"big/big.bin_5") == std::string(kMiB, '\0') + "tail!")
      << "the last piece is not the end of the input";
  // md5sum of the same input.
  EXPECT_EQ(readFile(dir / L"big/big.md5"), "702109dc1b67181276f3e582e61b6a3b");
}

// An input of another owner, readable by all: no read lease can be had on it,
// and the check for writers must then be skipped, not taken for "held open
// for writing".
TEST_F(SplitTest, InputOfAnotherOwnerIsSplitByAnUnprivilegedUser) {
  if (!unprivilegedChildIsAnotherUser())
    GTEST_SKIP() << "the child runs as the tests' own user here (POSIX: tests not run as root; "
                    "Windows: no other user to run it as)";
  const std::string input = patternBytes(3 * kMiB + 5, 8);
  writeFile(dir / L"in.bin", input);
  fs::permissions(dir.native(), fs::perms::others_read | fs::perms::others_exec,
                  fs::perm_options::add);
  fs::permissions(dir.native() / "in.bin", fs::perms::others_read, fs::perm_options::add);
  fs::create_directory(dir.native() / "out");
  fs::permissions(dir.native() / "out", fs::perms::all);
  RunOptions options;
  options.withoutPrivileges = true;
  const RunResult result = split({L"in.bin", L"1", L"out"}, options);
  // The dots come only after the input was opened.
  EXPECT_EQ(result.out, consoleBytes(kHeader + L"...."));
  EXPECT_EQ(result.exitCode, split_exit::kSuccess);
  std::string joined;
  for (int piece = 1; piece <= 4; ++piece)
    joined += readFile(dir / (L"out/in.bin_" + std::to_wstring(piece)));
  EXPECT_TRUE(joined == input) << "pieces do not rejoin to the input";
  EXPECT_EQ(readFile(dir / L"out/in.md5").size(), 32u);
}

// The header and the first dot reach the reader while the split goes on:
// the output pipe takes exactly them, so a child that prints at once is
// held at its second dot, before any digest exists; one that holds its dots
// back runs on to the digest first.
TEST_F(SplitTest, OutputIsShownWhileTheSplitGoesOn) {
  if (!heldRunsSupported()) GTEST_SKIP() << "this platform's pipes cannot hold a writer back";
  writeFile(dir / L"in.bin", "");
  fs::resize_file(platform::nativePath(dir / L"in.bin"), 8 * kMiB);  // sparse
  const std::string header = consoleBytes(kHeader);
  const std::wstring digest = dir / L"out/in.md5";
  bool digestWhileHeld = true;
  RunOptions options;
  options.workingFolder = dir.wide();
  const HeldRun run = runFilesplitHeld(
      {L"in.bin", L"1", L"out"}, options, header.size() + 1,
      [&] { return fs::exists(platform::nativePath(digest)); },
      [&] { digestWhileHeld = fs::exists(platform::nativePath(digest)); });
  EXPECT_TRUE(run.held) << "the header and the first dot were not printed while the split ran";
  EXPECT_FALSE(digestWhileHeld) << "the split got to its end before its output was shown";
  EXPECT_EQ(run.result.out, header + std::string(8, '.'));
  EXPECT_EQ(run.result.exitCode, split_exit::kSuccess);
}

// The outputs, pieces to rebuilt file, have the input's permissions less
// the umask's: a 0600 input stays private, a 0666 one under umask 022 gives
// 0644 files.
TEST(OutputPermissionsTest, OutputsHaveTheInputsPermissionsLessTheUmask) {
#ifdef _WIN32
  GTEST_SKIP() << "files inherit their folder's permissions here";
#else
  struct Modes {
    mode_t input, umask, outputs;
  };
  for (const Modes modes : {Modes{0600, 022, 0600}, Modes{0666, 022, 0644}}) {
    SCOPED_TRACE(modes.input);
    TempDir dir;
    RunOptions options;
    options.workingFolder = dir.wide();
    writeFile(dir / L"in.bin", patternBytes(kMiB + 1, 32));
    ASSERT_EQ(::chmod((dir.native() / "in.bin").c_str(), modes.input), 0);
    const mode_t before = ::umask(modes.umask);  // the tools inherit it
    const int split = runFilesplit({L"in.bin", L"1", L"parts"}, options).exitCode;
    const int join = runFilejoin({L"parts/in.bat", L"out"}, options).exitCode;
    ::umask(before);
    ASSERT_EQ(split, split_exit::kSuccess);
    ASSERT_EQ(join, join_exit::kSuccess);
    for (const char* file :
         {"parts/in.bin_1", "parts/in.bin_2", "parts/in.bat", "parts/in.md5", "out/in.bin"}) {
      struct stat info {};
      ASSERT_EQ(::stat((dir.native() / file).c_str(), &info), 0) << file;
      EXPECT_EQ(info.st_mode & 0777, modes.outputs) << file;
    }
  }
#endif
}

}  // namespace
