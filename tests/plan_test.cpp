// The plan and the output check, in process, on real files in a temp
// folder: the output folder chosen and created, every output name, and the
// result codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/platform.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "split/split_job.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace fs = std::filesystem;

namespace {

// Paths compared with "/" whatever separator the platform joined with.
std::wstring slashed(std::wstring path) {
  std::replace(path.begin(), path.end(), L'\\', L'/');
  return path;
}

struct PlanCase {
  const char* name;
  std::wstring input;
  uint64_t inputSize;
  const wchar_t* folder;  // null: none given
  uint64_t pieceSize;
  int expectedResult;
  std::vector<std::wstring> expectedPieces;  // all, or first and last when longer
  std::wstring expectedDigest;
  std::wstring expectedScript;
  std::wstring expectedConsoleStart;
};

void PrintTo(const PlanCase& c, std::ostream* out) { *out << c.name; }

class PlanTest : public ::testing::TestWithParam<PlanCase> {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(dir.native());
  }
  void TearDown() override { fs::current_path(previous_); }

  TempDir dir;
  std::wostringstream console;
  SplitJob job{console};

 private:
  fs::path previous_;
};

TEST_P(PlanTest, NamesEveryOutput) {
  const PlanCase& c = GetParam();
  fs::create_directories(platform::nativePath(c.input).parent_path().empty()
                             ? fs::path(".")
                             : platform::nativePath(c.input).parent_path());
  writeFile(c.input, "");
  fs::resize_file(platform::nativePath(c.input), c.inputSize);
  writeFile(L"file.txt", "not a folder");
  const auto before = listing(dir.wide());

  EXPECT_EQ(job.plan(c.input.c_str(), c.folder, c.pieceSize), c.expectedResult);
  if (c.expectedResult != 0 && c.expectedResult != 9) {
    EXPECT_EQ(listing(dir.wide()), before) << "a refused plan created something";
  }
  EXPECT_EQ(console.str().substr(0, c.expectedConsoleStart.size()), c.expectedConsoleStart);
  if (c.expectedResult != 0) return;
  std::vector<std::wstring> pieces;
  for (uint64_t i = 0; i < job.pieces.size(); ++i) pieces.push_back(slashed(job.pieces[i]));
  if (c.expectedPieces.size() == 2 && pieces.size() > 2) pieces = {pieces.front(), pieces.back()};
  EXPECT_EQ(pieces, c.expectedPieces);
  EXPECT_EQ(slashed(job.digestPath), c.expectedDigest);
  EXPECT_EQ(slashed(job.scriptPath), c.expectedScript);
  EXPECT_TRUE(fs::is_directory(platform::nativePath(job.scriptPath).parent_path()));
  EXPECT_EQ(job.checkOutputs(), split_exit::kSuccess);
}

INSTANTIATE_TEST_SUITE_P(
    PathRules, PlanTest,
    ::testing::Values(
        PlanCase{"SeveralDots",
                 L"archive.tar.gz",
                 2 * kMiB + 1,
                 nullptr,
                 kMiB,
                 split_exit::kSuccess,
                 {L"archive.tar/archive.tar.gz_1", L"archive.tar/archive.tar.gz_2",
                  L"archive.tar/archive.tar.gz_3"},
                 L"archive.tar/archive.tar.md5",
                 L"archive.tar/archive.tar.bat",
                 L""},
        PlanCase{"NoExtensionDefaultFolderIsTheInput",
                 L"big",
                 kMiB,
                 nullptr,
                 kMiB,
                 split_exit::kOutputFolderFailed,
                 {},
                 L"",
                 L"",
                 L"filesystem error: create_directories: "},
        PlanCase{"NoExtensionWithFolder",
                 L"big",
                 kMiB,
                 L"out",
                 kMiB,
                 split_exit::kSuccess,
                 {L"out/big_1"},
                 L"out/big.md5",
                 L"out/big.bat",
                 L""},
        PlanCase{"OnlyDotFirstDefaultFolderIsTheInput",
                 L".profile",
                 kMiB,
                 nullptr,
                 kMiB,
                 split_exit::kOutputFolderFailed,
                 {},
                 L"",
                 L"",
                 L"filesystem error: create_directories: "},
        PlanCase{"OnlyDotFirstWithFolder",
                 L".profile",
                 kMiB,
                 L"out",
                 kMiB,
                 split_exit::kSuccess,
                 {L"out/.profile_1"},
                 L"out/.profile.md5",
                 L"out/.profile.bat",
                 L""},
        // Windows drops a trailing dot from a name: there the rebuilt file
        // could not take it, and the input is refused.
        PlanCase{
            "TrailingDotIsAnExtension", L"aaa.", kMiB, L"out", kMiB,
            windowsPlatform() ? split_exit::kFailed : split_exit::kSuccess,
            windowsPlatform() ? std::vector<std::wstring>{}
                              : std::vector<std::wstring>{L"out/aaa._1"},
            windowsPlatform() ? L"" : L"out/aaa.md5", windowsPlatform() ? L"" : L"out/aaa.bat",
            windowsPlatform() ? L"The file name \"aaa.\" is not one a file can have here" : L""},
        PlanCase{"TrailingSeparator",
                 L"aaa.iso",
                 kMiB,
                 L"out/",
                 kMiB,
                 split_exit::kSuccess,
                 {L"out/aaa.iso_1"},
                 L"out/aaa.md5",
                 L"out/aaa.bat",
                 L""},
        PlanCase{"RelativeInputDefaultFolder",
                 L"data/aaa.iso",
                 kMiB,
                 nullptr,
                 kMiB,
                 split_exit::kSuccess,
                 {L"data/aaa/aaa.iso_1"},
                 L"data/aaa/aaa.md5",
                 L"data/aaa/aaa.bat",
                 L""},
        PlanCase{"EmptyFolderMeansDefault",
                 L"aaa.iso",
                 kMiB,
                 L"",
                 kMiB,
                 split_exit::kSuccess,
                 {L"aaa/aaa.iso_1"},
                 L"aaa/aaa.md5",
                 L"aaa/aaa.bat",
                 L""},
        PlanCase{"FolderSeveralLevelsDeep",
                 L"aaa.iso",
                 kMiB,
                 L"a/b/c",
                 kMiB,
                 split_exit::kSuccess,
                 {L"a/b/c/aaa.iso_1"},
                 L"a/b/c/aaa.md5",
                 L"a/b/c/aaa.bat",
                 L""},
        PlanCase{"FolderIsAFile",
                 L"aaa.iso",
                 kMiB,
                 L"file.txt",
                 kMiB,
                 split_exit::kOutputFolderFailed,
                 {},
                 L"",
                 L"",
                 L"filesystem error: create_directories: "},
        PlanCase{"FolderBelowAFile",
                 L"aaa.iso",
                 kMiB,
                 L"file.txt/sub",
                 kMiB,
                 split_exit::kOutputFolderFailed,
                 {},
                 L"",
                 L"",
                 L"filesystem error: create_directories: "},
        PlanCase{"ExactMultiple",
                 L"aaa.iso",
                 2 * kMiB,
                 L"out",
                 kMiB,
                 split_exit::kSuccess,
                 {L"out/aaa.iso_1", L"out/aaa.iso_2"},
                 L"out/aaa.md5",
                 L"out/aaa.bat",
                 L""},
        PlanCase{"OneByteMore",
                 L"aaa.iso",
                 2 * kMiB + 1,
                 L"out",
                 kMiB,
                 split_exit::kSuccess,
                 {L"out/aaa.iso_1", L"out/aaa.iso_2", L"out/aaa.iso_3"},
                 L"out/aaa.md5",
                 L"out/aaa.bat",
                 L""},
        PlanCase{"ExactlyOnePiece",
                 L"aaa.iso",
                 10 * kMiB,
                 L"out",
                 10 * kMiB,
                 split_exit::kSuccess,
                 {L"out/aaa.iso_1"},
                 L"out/aaa.md5",
                 L"out/aaa.bat",
                 L""},
        PlanCase{"OneByteShort",
                 L"aaa.iso",
                 10 * kMiB - 1,
                 L"out",
                 10 * kMiB,
                 split_exit::kNoNeedToSplit,
                 {},
                 L"",
                 L"",
                 L"No need to split.\n"},
        PlanCase{"TenPiecesAndMore",
                 L"aaa.iso",
                 11 * kMiB + 1,
                 L"out",
                 kMiB,
                 split_exit::kSuccess,
                 {L"out/aaa.iso_1", L"out/aaa.iso_12"},
                 L"out/aaa.md5",
                 L"out/aaa.bat",
                 L""},
        PlanCase{"EmptyInputWinsOverSizeZero",
                 L"aaa.iso",
                 0,
                 L"out",
                 0,
                 split_exit::kInputEmpty,
                 {},
                 L"",
                 L"",
                 L""},
        PlanCase{
            "SizeZero", L"aaa.iso", 1, L"out", 0, split_exit::kInvalidSize, {}, L"", L"", L""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlanTest, FileSystemFailureShowsTheFolderAsGiven) {
  const std::wstring name = L"r\u00e9sum\u00e9 \u20ac \u4e2d.txt";
  writeFile(name, "not a folder");
  writeFile(L"aaa.iso", std::string(kMiB, 'x'));
  EXPECT_EQ(job.plan(L"aaa.iso", name.c_str(), kMiB), split_exit::kOutputFolderFailed);
  const std::wstring start = L"filesystem error: create_directories: ";
  const std::wstring end = L" [" + name + L"]\n";
  const std::wstring shown = console.str();
  EXPECT_EQ(shown.substr(0, start.size()), start);
  ASSERT_GE(shown.size(), end.size());
  EXPECT_EQ(shown.substr(shown.size() - end.size()), end) << "the name turned into other text";
}

TEST_F(PlanTest, MissingInputAndFolderInput) {
  EXPECT_EQ(job.plan(L"nope", nullptr, kMiB), split_exit::kInputMissing);
  fs::create_directory("sub");
  EXPECT_EQ(job.plan(L"sub", nullptr, kMiB), split_exit::kInputIsFolder);
}

TEST_F(PlanTest, InputNamedLikeItsScriptOrDigestIsRefusedEvenInItsOwnFolder) {
  const std::map<std::wstring, std::wstring> lines{
      {L"x.bat",
       L"The rejoin script would be named like the input \"x.bat\" and would overwrite itself "
       L"when run; rename the input (for example to x.bat.txt) and split it again.\n"},
      {L"x.md5",
       L"The digest file would be named like the input \"x.md5\" and would be replaced by the "
       L"rebuilt file; rename the input (for example to x.md5.txt) and split it again.\n"}};
  for (const auto& [input, line] : lines) {
    writeFile(input, std::string(kMiB, 'x'));
    const auto before = snapshot(dir.wide());
    std::wostringstream out;
    SplitJob fresh(out);
    EXPECT_EQ(fresh.plan(input.c_str(), L".", kMiB), split_exit::kFailed) << slashed(input);
    EXPECT_EQ(out.str(), line);
    EXPECT_EQ(fresh.pieces.size(), 0u);
    EXPECT_TRUE(sameFiles(snapshot(dir.wide()), before))
        << "the refused plan created or changed something";
  }
}

TEST_F(PlanTest, AnyExistingPieceStopsTheCheck) {
  writeFile(L"aaa.iso", std::string(3 * kMiB, 'x'));
  ASSERT_EQ(job.plan(L"aaa.iso", L"out", kMiB), split_exit::kSuccess);
  fs::create_directory(platform::nativePath(job.pieces[2]));  // a folder counts too
  EXPECT_EQ(job.checkOutputs(), split_exit::kOutputExists);
}

TEST_F(PlanTest, TooManyPiecesAreRefusedBeforeAnythingIsCreated) {
  writeFile(L"huge.bin", "");
  fs::resize_file("huge.bin", (uint64_t{1} << 31) + 1);  // sparse
  EXPECT_EQ(job.plan(L"huge.bin", nullptr, 1), split_exit::kFailed);
  EXPECT_NE(console.str().find(L"Too many pieces"), std::wstring::npos);
  EXPECT_FALSE(fs::exists("huge"));
}

TEST_F(PlanTest, NameTheScriptCannotCarryIsRefused) {
  size_t tried = 0;
  for (const wchar_t* name : {L"say \"hi\".bin", L"line\nbreak.bin", L"cr\rhere.bin",
                              L"del\x7F"
                              L"here.bin",
                              L"unit\x1F"
                              L"sep.bin",
                              // An undecoded byte here, an unpaired surrogate on Windows.
                              L"caf\xDCE9.bin", L"lone\xD800.bin"}) {
    try {
      writeFile(name, std::string(kMiB, 'x'));
    } catch (const std::exception&) {
      continue;  // a name this platform cannot give a file
    }
    ++tried;
    std::wostringstream out;
    SplitJob fresh(out);
    EXPECT_EQ(fresh.plan(name, L"out", kMiB), split_exit::kFailed);
    EXPECT_EQ(out.str(),
              L"The file name holds a double quote, a control character or bytes that are no "
              L"character in this system's encoding, which the rejoin script cannot carry.\n");
    EXPECT_FALSE(fs::exists("out"));
  }
  if (tried == 0) GTEST_SKIP() << "this platform cannot name a file with any of these characters";
}

TEST_F(PlanTest, FolderThatIsAFileIsToldInOneWholeLine) {
  writeFile(L"aaa.iso", std::string(kMiB, 'x'));
  writeFile(L"file.txt", "not a folder");
  EXPECT_EQ(job.plan(L"aaa.iso", L"file.txt", kMiB), split_exit::kOutputFolderFailed);
  const fs::filesystem_error failure("create_directories", platform::nativePath(L"file.txt"),
                                     std::make_error_code(std::errc::file_exists));
  EXPECT_EQ(console.str(), platform::filesystemErrorText(failure) + L"\n");
  EXPECT_EQ(readFile(L"file.txt"), "not a folder");
}

}  // namespace
