// What only Windows has: drive and share prefixes and backslashes in the
// path rules and the plan, share modes between processes, and the rejoin
// script run by the batch interpreter. Skipped elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/split_front_end.h"
#include "fileio/file_ptr.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/win/path_levels.h"
#include "platform_facts.h"
#include "process.h"
#include "script/path_rules.h"
#include "split/split_job.h"
#include "temp_dir.h"
#include "usage_text.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMiB = 1048576;

#define SKIP_UNLESS_WINDOWS() \
  if (!windowsPlatform()) GTEST_SKIP() << "Windows only"

// ---- Path rules -------------------------------------------------------------

struct RuleCase {
  const char* name;
  std::wstring path;
  std::wstring fileName;
  std::wstring stem;
  std::wstring removeFileName;
};

void PrintTo(const RuleCase& c, std::ostream* out) { *out << c.name; }

class WindowsPathRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(WindowsPathRuleTest, TakesPathsApart) {
  SKIP_UNLESS_WINDOWS();
  const RuleCase& c = GetParam();
  EXPECT_EQ(path_rules::fileName(c.path), c.fileName);
  EXPECT_EQ(path_rules::stem(c.path), c.stem);
  EXPECT_EQ(path_rules::removeFileName(c.path), c.removeFileName);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, WindowsPathRuleTest,
    ::testing::Values(
        RuleCase{"DriveAbsolute", L"D:\\out\\aaa.iso", L"aaa.iso", L"aaa", L"D:\\out\\"},
        RuleCase{"DriveRelative", L"D:aaa.iso", L"aaa.iso", L"aaa", L"D:"},
        RuleCase{"DriveRoot", L"D:\\aaa.iso", L"aaa.iso", L"aaa", L"D:\\"},
        RuleCase{"Backslashes", L"data\\sub\\aaa.iso", L"aaa.iso", L"aaa", L"data\\sub\\"},
        RuleCase{"MixedSeparators", L"data/sub\\aaa.tar.gz", L"aaa.tar.gz", L"aaa.tar",
                 L"data/sub\\"},
        RuleCase{"Share", L"\\\\server\\share\\dir\\aaa.iso", L"aaa.iso", L"aaa",
                 L"\\\\server\\share\\dir\\"},
        RuleCase{"ShareRoot", L"\\\\server\\share\\aaa.iso", L"aaa.iso", L"aaa",
                 L"\\\\server\\share\\"},
        RuleCase{"LongPathPrefix", L"\\\\?\\C:\\data\\aaa.iso", L"aaa.iso", L"aaa",
                 L"\\\\?\\C:\\data\\"}),
    [](const auto& info) { return std::string(info.param.name); });

struct JoinCase {
  const char* name;
  std::wstring folder;
  std::wstring joined;  // with "aaa.iso_1"
};

void PrintTo(const JoinCase& c, std::ostream* out) { *out << c.name; }

class WindowsJoinTest : public ::testing::TestWithParam<JoinCase> {};

TEST_P(WindowsJoinTest, AddsOneSeparatorWhereNeeded) {
  SKIP_UNLESS_WINDOWS();
  EXPECT_EQ(path_rules::join(GetParam().folder, L"aaa.iso_1"), GetParam().joined);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, WindowsJoinTest,
    ::testing::Values(JoinCase{"DriveAlone", L"D:", L"D:aaa.iso_1"},
                      JoinCase{"DriveRoot", L"D:\\", L"D:\\aaa.iso_1"},
                      JoinCase{"FolderWithSeparator", L"D:\\out\\", L"D:\\out\\aaa.iso_1"},
                      JoinCase{"FolderWithSlash", L"D:\\out/", L"D:\\out/aaa.iso_1"},
                      JoinCase{"FolderWithout", L"D:\\out", L"D:\\out\\aaa.iso_1"},
                      JoinCase{"Share", L"\\\\server\\share", L"\\\\server\\share\\aaa.iso_1"},
                      JoinCase{"ShareFolder", L"\\\\server\\share\\out\\",
                               L"\\\\server\\share\\out\\aaa.iso_1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowsPathRuleTest, DefaultFolderOfAShareInputIsBesideIt) {
  SKIP_UNLESS_WINDOWS();
  // What the plan does for no folder: the input's folder joined with its stem.
  const std::wstring input = L"\\\\server\\share\\dir\\aaa.iso";
  const std::wstring folder =
      path_rules::join(path_rules::removeFileName(input), path_rules::stem(input));
  EXPECT_EQ(folder, L"\\\\server\\share\\dir\\aaa");
  const std::wstring base = path_rules::join(folder, path_rules::fileName(input));
  EXPECT_EQ(path_rules::replaceExtension(base, L"bat"), L"\\\\server\\share\\dir\\aaa\\aaa.bat");
  EXPECT_EQ(path_rules::replaceExtension(base, L"md5"), L"\\\\server\\share\\dir\\aaa\\aaa.md5");
}

// ---- Roots and folder levels (text only: tested everywhere) -------------------

struct LevelCase {
  const char* name;
  std::wstring path;
  std::wstring root;
  std::vector<std::wstring> levels;  // the folders below the root, top first
};

void PrintTo(const LevelCase& c, std::ostream* out) { *out << c.name; }

class WindowsFolderLevelTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(WindowsFolderLevelTest, RootIsNeverALevel) {
  const LevelCase& c = GetParam();
  EXPECT_EQ(c.path.substr(0, windows_paths::rootLength(c.path)), c.root);
  EXPECT_EQ(windows_paths::folderLevels(c.path), c.levels);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, WindowsFolderLevelTest,
    ::testing::Values(
        LevelCase{"Relative", L"a/b\\c\\", L"", {L"a", L"a/b", L"a/b\\c"}},
        LevelCase{"DoubledSeparator", L"a\\\\b", L"", {L"a", L"a\\\\b"}},
        LevelCase{"DotsAreNoLevels", L"a\\.\\b\\..\\c", L"", {L"a", L"a\\.\\b", L"a\\.\\b\\..\\c"}},
        LevelCase{"CurrentDriveRoot", L"\\a", L"\\", {L"\\a"}},
        LevelCase{"Drive", L"C:\\a\\b", L"C:\\", {L"C:\\a", L"C:\\a\\b"}},
        LevelCase{"DriveRoot", L"C:\\", L"C:\\", {}},
        LevelCase{"DriveRelative", L"C:a\\b", L"C:", {L"C:a", L"C:a\\b"}},
        LevelCase{"DriveAlone", L"C:", L"C:", {}},
        LevelCase{"Share",
                  L"\\\\server\\share\\a\\b",
                  L"\\\\server\\share\\",
                  {L"\\\\server\\share\\a", L"\\\\server\\share\\a\\b"}},
        LevelCase{
            "ShareWithSlashes", L"//server/share/a", L"//server/share/", {L"//server/share/a"}},
        LevelCase{"ShareRoot", L"\\\\server\\share", L"\\\\server\\share", {}},
        LevelCase{"ShareRootWithSeparator", L"\\\\server\\share\\", L"\\\\server\\share\\", {}},
        LevelCase{"ServerAlone", L"\\\\server\\", L"\\\\server\\", {}},
        LevelCase{"LongDrive",
                  L"\\\\?\\C:\\a\\b\\",
                  L"\\\\?\\C:\\",
                  {L"\\\\?\\C:\\a", L"\\\\?\\C:\\a\\b"}},
        LevelCase{"LongDriveRoot", L"\\\\?\\C:\\", L"\\\\?\\C:\\", {}},
        LevelCase{"LongDriveAlone", L"\\\\?\\C:", L"\\\\?\\C:", {}},
        LevelCase{"LongSlashIsPartOfAName", L"\\\\?\\C:\\a/b", L"\\\\?\\C:\\", {L"\\\\?\\C:\\a/b"}},
        LevelCase{"LongShare",
                  L"\\\\?\\UNC\\server\\share\\a",
                  L"\\\\?\\UNC\\server\\share\\",
                  {L"\\\\?\\UNC\\server\\share\\a"}},
        LevelCase{"LongShareRoot", L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share", {}},
        LevelCase{"LongShareLowerCase",
                  L"\\\\?\\unc\\server\\share\\a",
                  L"\\\\?\\unc\\server\\share\\",
                  {L"\\\\?\\unc\\server\\share\\a"}},
        LevelCase{"LongFolderNamedLikeUnc",
                  L"\\\\?\\C:\\UNC\\a",
                  L"\\\\?\\C:\\",
                  {L"\\\\?\\C:\\UNC", L"\\\\?\\C:\\UNC\\a"}},
        LevelCase{"LongVolume",
                  L"\\\\?\\Volume{12ab}\\a",
                  L"\\\\?\\Volume{12ab}\\",
                  {L"\\\\?\\Volume{12ab}\\a"}},
        LevelCase{"Device", L"\\\\.\\C:\\a", L"\\\\.\\C:\\", {L"\\\\.\\C:\\a"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Digit groups through a pipe in a code page ------------------------------

struct CodePageCase {
  const char* name;
  std::wstring text;
  unsigned codePage;
  std::string bytes;
};

void PrintTo(const CodePageCase& c, std::ostream* out) { *out << c.name; }

class WindowsCodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(WindowsCodePageTest, NoBreakSpaceTheCodePageLacksIsAPlainSpace) {
  const CodePageCase& c = GetParam();
  std::string bytes;
  if (!platform_test_hooks::pipeBytes(c.text, c.codePage, bytes))
    GTEST_SKIP() << "the console writes the C library's encoding here, no code page";
  EXPECT_EQ(bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Separators, WindowsCodePageTest,
    ::testing::Values(CodePageCase{"NarrowNoBreakIn850", L"1\u202F024", 850, "1 024"},
                      CodePageCase{"NoBreakIn850Has", L"1\u00A0024", 850,
                                   "1\xFF"
                                   "024"},
                      CodePageCase{"NarrowNoBreakIn437", L"1\u202F024", 437, "1 024"},
                      CodePageCase{"NarrowNoBreakIn1252", L"1\u202F024", 1252, "1 024"},
                      CodePageCase{"NoBreakIn1252Has", L"1\u00A0024", 1252,
                                   "1\xA0"
                                   "024"},
                      CodePageCase{"NoBreakInAscii", L"1\u00A0024", 20127, "1 024"},
                      CodePageCase{"NarrowNoBreakInUtf8", L"1\u202F024", CP_UTF8,
                                   "1\xE2\x80\xAF"
                                   "024"},
                      CodePageCase{"OtherMissingCharacterStaysAQuestionMark", L"5\u20AC\u2009", 850,
                                   "5??"}),
    [](const auto& info) { return std::string(info.param.name); });

// A user locale that groups with U+202F (as French does), faked, and the
// front end's settings printed through a pipe in code page 850.
class NarrowNoBreakGrouping : public std::numpunct<wchar_t> {
 protected:
  wchar_t do_thousands_sep() const override { return L'\u202F'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(WindowsCodePageTest, SizeGroupedWithNarrowNoBreakSpaceReadsInCodePage850) {
  TempDir dir;
  const std::wstring input = dir / L"missing.bin";
  const wchar_t* argv[] = {L"filesplit", input.c_str(), L"1024", nullptr};
  std::wostringstream out;
  const std::locale french(std::locale::classic(), new NarrowNoBreakGrouping);
  EXPECT_EQ(runFrontEnd(3, argv, out, french), 3);
  std::string bytes;
  if (!platform_test_hooks::pipeBytes(out.str(), 850, bytes))
    GTEST_SKIP() << "the console writes the C library's encoding here, no code page";
  EXPECT_NE(bytes.find("\nDivide size: 1 024MB\n"), std::string::npos) << bytes;
}

// ---- The plan on real drive and backslash paths -------------------------------

class WindowsPlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(dir.native());
    drive = dir.wide().substr(0, 2);  // "C:": the temp folder's drive
  }
  void TearDown() override { fs::current_path(previous_); }

  void expectOutputs(const std::wstring& base, const std::wstring& stemBase) {
    ASSERT_EQ(job.pieces.size(), 2u);
    EXPECT_EQ(job.pieces[0], base + L"_1");
    EXPECT_EQ(job.pieces[1], base + L"_2");
    EXPECT_EQ(job.scriptPath, stemBase + L".bat");
    EXPECT_EQ(job.digestPath, stemBase + L".md5");
    EXPECT_EQ(job.checkOutputs(), 0);
  }

  TempDir dir;
  std::wstring drive;
  std::wostringstream console;
  SplitJob job{console};

 private:
  fs::path previous_;
};

TEST_F(WindowsPlanTest, DriveAloneIsTheCurrentFolderOfThatDrive) {
  SKIP_UNLESS_WINDOWS();
  writeFile(L"aaa.iso", std::string(2 * kMiB, 'x'));
  ASSERT_EQ(job.plan(L"aaa.iso", drive.c_str(), kMiB), 0) << console.str();
  expectOutputs(drive + L"aaa.iso", drive + L"aaa");
}

TEST_F(WindowsPlanTest, DriveRelativeInputGetsItsFolderBesideIt) {
  SKIP_UNLESS_WINDOWS();
  writeFile(L"aaa.iso", std::string(2 * kMiB, 'x'));
  ASSERT_EQ(job.plan((drive + L"aaa.iso").c_str(), nullptr, kMiB), 0) << console.str();
  expectOutputs(drive + L"aaa\\aaa.iso", drive + L"aaa\\aaa");
  EXPECT_TRUE(fs::is_directory(dir.native() / "aaa"));
}

TEST_F(WindowsPlanTest, AbsoluteFolderWithTrailingBackslash) {
  SKIP_UNLESS_WINDOWS();
  writeFile(L"aaa.iso", std::string(2 * kMiB, 'x'));
  const std::wstring folder = dir.wide() + L"\\out\\";
  ASSERT_EQ(job.plan(L"aaa.iso", folder.c_str(), kMiB), 0) << console.str();
  expectOutputs(folder + L"aaa.iso", folder + L"aaa");
  EXPECT_TRUE(fs::is_directory(dir.native() / "out"));
}

TEST_F(WindowsPlanTest, BackslashFoldersAreCreatedLevelByLevel) {
  SKIP_UNLESS_WINDOWS();
  fs::create_directory(dir.native() / "data");
  writeFile(L"data\\aaa.iso", std::string(2 * kMiB, 'x'));
  ASSERT_EQ(job.plan(L"data\\aaa.iso", L"a\\b/c", kMiB), 0) << console.str();
  expectOutputs(L"a\\b/c\\aaa.iso", L"a\\b/c\\aaa");
  EXPECT_TRUE(fs::is_directory(dir.native() / "a" / "b" / "c"));
  SplitJob byDefault(console);
  ASSERT_EQ(byDefault.plan(L"data\\aaa.iso", nullptr, kMiB), 0) << console.str();
  EXPECT_EQ(byDefault.pieces.front(), L"data\\aaa\\aaa.iso_1");
}

TEST_F(WindowsPlanTest, LongPathPrefixedInput) {
  SKIP_UNLESS_WINDOWS();
  writeFile(L"aaa.iso", std::string(2 * kMiB, 'x'));
  const std::wstring input = L"\\\\?\\" + dir.wide() + L"\\aaa.iso";
  ASSERT_EQ(job.plan(input.c_str(), nullptr, kMiB), 0) << console.str();
  expectOutputs(L"\\\\?\\" + dir.wide() + L"\\aaa\\aaa.iso",
                L"\\\\?\\" + dir.wide() + L"\\aaa\\aaa");
}

// ---- The "\\?\\" prefix, end to end -------------------------------------------

// "\\?\\" before an absolute path, the way past 260 characters: a run with it
// writes exactly what the same run with the plain path writes.
struct PrefixCase {
  const char* name;
  bool prefixedInput;
  const wchar_t* folder;  // below the test folder; nullptr: the default one
  bool prefixedFolder;
  const char* lastPiece;  // as snapshot names it
};

void PrintTo(const PrefixCase& c, std::ostream* out) { *out << c.name; }

class WindowsLongPrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(WindowsLongPrefixTest, SplitsAsThePlainPathDoes) {
  SKIP_UNLESS_WINDOWS() << ": the \\\\?\\ prefix is the Windows API's";
  const PrefixCase& c = GetParam();
  TempDir plain, prefixed;
  std::map<std::string, std::string> written[2];
  for (const bool prefix : {false, true}) {
    const TempDir& dir = prefix ? prefixed : plain;
    writeFile(dir / L"in.bin", patternBytes(2 * kMiB + 7, 11));
    const std::wstring lead = L"\\\\?\\" + dir.wide() + L"\\";
    std::vector<std::wstring> arguments{(prefix && c.prefixedInput ? lead : L"") + L"in.bin", L"1"};
    if (c.folder != nullptr)
      arguments.push_back((prefix && c.prefixedFolder ? lead : L"") + c.folder);
    RunOptions options;
    options.workingFolder = dir.wide();
    const RunResult result = runFilesplit(arguments, options);
    EXPECT_EQ(result.exitCode, 0) << result.out;
    const std::wstring folderLine =
        c.folder != nullptr ? L"Output Folder: " + arguments[2] + L"\n" : L"";
    EXPECT_EQ(result.out, consoleBytes(L"File: " + arguments[0] + L"\nDivide size: 1MB\n" +
                                       folderLine + L"Dividing.....\n..."));
    written[prefix] = snapshot(dir.wide());
  }
  EXPECT_EQ(written[1], written[0]);
  EXPECT_EQ(written[1].count(c.lastPiece), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WindowsLongPrefixTest,
    ::testing::Values(PrefixCase{"InputDefaultFolder", true, nullptr, false, "in/in.bin_3"},
                      PrefixCase{"InputGivenFolder", true, L"out", false, "out/in.bin_3"},
                      PrefixCase{"FolderOfTwoNewLevels", false, L"out\\deeper", true,
                                 "out/deeper/in.bin_3"},
                      PrefixCase{"InputAndFolder", true, L"out", true, "out/in.bin_3"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Share modes between processes ------------------------------------------

// A file held open by this process with the runtime's flags, as long as the
// object lives.
class Held {
 public:
  Held(const std::wstring& path, int oflag, int shflag) {
    EXPECT_EQ(_wsopen_s(&fd_, path.c_str(), oflag | _O_BINARY, shflag, _S_IREAD | _S_IWRITE), 0);
  }
  ~Held() {
    if (fd_ >= 0) _close(fd_);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

 private:
  int fd_ = -1;
};

const std::wstring kUsage = usageText();
const std::wstring kHeader = L"File: in.bin\nDivide size: 1MB\nOutput Folder: out\nDividing.....\n";

struct ShareCase {
  const char* name;
  int oflag;
  int shflag;
  bool refused;
};

void PrintTo(const ShareCase& c, std::ostream* out) { *out << c.name; }

class WindowsShareTest : public ::testing::TestWithParam<ShareCase> {
 protected:
  RunResult split() {
    RunOptions options;
    options.workingFolder = dir.wide();
    return runFilesplit({L"in.bin", L"1", L"out"}, options);
  }
  TempDir dir;
};

TEST_P(WindowsShareTest, InputHeldByAnotherProcess) {
  SKIP_UNLESS_WINDOWS();
  const ShareCase& c = GetParam();
  writeFile(dir / L"in.bin", patternBytes(2 * kMiB + 3, 6));
  Held held(dir / L"in.bin", c.oflag, c.shflag);
  const RunResult result = split();
  if (c.refused) {
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, consoleBytes(kHeader + L"Permission denied.\n" + kUsage));
    EXPECT_EQ(listing(dir / L"out"), (std::map<std::string, uint64_t>{{"in.bat", 67}}));
  } else {
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, consoleBytes(kHeader + L"..."));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WindowsShareTest,
    ::testing::Values(ShareCase{"ReaderSharingAll", _O_RDONLY, _SH_DENYNO, false},
                      ShareCase{"ReaderDenyingWriters", _O_RDONLY, _SH_DENYWR, false},
                      ShareCase{"ReaderDenyingReaders", _O_RDONLY, _SH_DENYRD, true},
                      ShareCase{"WriterSharingAll", _O_WRONLY, _SH_DENYNO, true},
                      ShareCase{"WriterDenyingAll", _O_RDWR, _SH_DENYRW, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Another process (the batch interpreter) on a file this process holds
// through File_ptr, as the tool holds its files.
TEST(WindowsShareTest, OurInputKeepsWritersOutButLetsReadersIn) {
  SKIP_UNLESS_WINDOWS();
  if (!batchInterpreterAvailable()) GTEST_SKIP() << "no batch interpreter";
  TempDir dir;
  writeFile(dir / L"in.bin", "original");
  RunOptions options;
  options.workingFolder = dir.wide();
  {
    File_ptr input((dir / L"in.bin").c_str(), kInputMode);
    runBatch(L"echo more>>in.bin", options);
    EXPECT_EQ(readFile(dir / L"in.bin"), "original") << "a writer got in";
    const RunResult typed = runBatch(L"type in.bin", options);
    EXPECT_EQ(typed.out, "original") << "a reader was kept out";
  }
  runBatch(L"echo more>>in.bin", options);
  EXPECT_EQ(readFile(dir / L"in.bin"), "originalmore\r\n");
}

TEST(WindowsShareTest, OurPieceKeepsReadersAndWritersOut) {
  SKIP_UNLESS_WINDOWS();
  if (!batchInterpreterAvailable()) GTEST_SKIP() << "no batch interpreter";
  TempDir dir;
  RunOptions options;
  options.workingFolder = dir.wide();
  {
    std::unique_ptr<FileIO_IF> piece(new File_ptr((dir / L"in.bin_1").c_str(), kPieceMode));
    ASSERT_EQ(piece->write("data", 4), 4);
    EXPECT_EQ(runBatch(L"type in.bin_1", options).out, "") << "a reader got in";
    runBatch(L"echo more>>in.bin_1", options);
  }
  EXPECT_EQ(readFile(dir / L"in.bin_1"), "data") << "a writer got in";
  EXPECT_EQ(runBatch(L"type in.bin_1", options).out, "data") << "no reader gets in even now";
}

// ---- The rejoin script, run ---------------------------------------------------

// Whether the files hold the same bytes, read in blocks.
bool sameBytes(const std::wstring& a, const std::wstring& b) {
  std::ifstream first(platform::nativePath(a), std::ios::binary);
  std::ifstream second(platform::nativePath(b), std::ios::binary);
  if (!first || !second) return false;
  std::vector<char> x(kMiB), y(kMiB);
  for (;;) {
    first.read(x.data(), static_cast<std::streamsize>(x.size()));
    second.read(y.data(), static_cast<std::streamsize>(y.size()));
    if (first.gcount() != second.gcount()) return false;
    if (first.gcount() == 0) return true;
    if (!std::equal(x.begin(), x.begin() + first.gcount(), y.begin())) return false;
  }
}

struct RejoinCase {
  const char* name;
  std::wstring input;  // Wine's cmd knows no code page 65001 and no "%%": ASCII, no "%"
  uint64_t size;
  bool sparse;
  size_t pieces;
  size_t copyLines;
};

void PrintTo(const RejoinCase& c, std::ostream* out) { *out << c.name; }

class WindowsRejoinTest : public ::testing::TestWithParam<RejoinCase> {};

TEST_P(WindowsRejoinTest, ScriptRebuildsTheInput) {
  SKIP_UNLESS_WINDOWS();
  if (!batchInterpreterAvailable()) GTEST_SKIP() << "no batch interpreter";
  const RejoinCase& c = GetParam();
  TempDir dir;
  if (c.sparse) {
    writeFile(dir / c.input, patternBytes(1000, 8));  // data at both ends, a hole between
    fs::resize_file(platform::nativePath(dir / c.input), c.size);
    std::fstream end(platform::nativePath(dir / c.input),
                     std::ios::binary | std::ios::in | std::ios::out);
    end.seekp(static_cast<std::streamoff>(c.size - 5));
    end.write("tail!", 5);
  } else {
    writeFile(dir / c.input, patternBytes(c.size, 9));
  }
  RunOptions options;
  options.workingFolder = dir.wide();
  ASSERT_EQ(runFilesplit({c.input, L"1", L"out"}, options).exitCode, 0);
  const std::wstring stem = path_rules::stem(c.input);
  const std::string script = readFile(dir / (L"out\\" + stem + L".bat"));
  // The last of several lines has no line end.
  const size_t lines = static_cast<size_t>(std::count(script.begin(), script.end(), '\n')) +
                       (script.back() == '\n' ? 0 : 1);
  EXPECT_EQ(lines, 1 + c.copyLines);
  EXPECT_EQ(listing(dir / L"out").size(), c.pieces + 2);

  options.workingFolder = dir / L"out";
  const RunResult rejoin = runBatch(L"call \"" + stem + L".bat\"", options);
  EXPECT_EQ(rejoin.exitCode, 0) << rejoin.out;
  ASSERT_TRUE(fs::exists(platform::nativePath(dir / (L"out\\" + c.input)))) << rejoin.out;
  EXPECT_EQ(fs::file_size(platform::nativePath(dir / (L"out\\" + c.input))), c.size);
  EXPECT_TRUE(sameBytes(dir / c.input, dir / (L"out\\" + c.input))) << "rebuilt file differs";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, WindowsRejoinTest,
    ::testing::Values(RejoinCase{"ThreePiecesAndABit", L"in.bin", 3 * kMiB + 5, false, 4, 1},
                      RejoinCase{"BlanksAndSigns", L"my data & more (1).tar.gz", 2 * kMiB + 1,
                                 false, 3, 1},
                      RejoinCase{"PastTheLineLimit", L"aaa.iso", 258 * kMiB, true, 258, 2},
                      RejoinCase{"LongNameBreaksOften", std::wstring(120, L'n') + L".bin",
                                 80 * kMiB + 7, true, 81, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// An input of batch commands whose name ends in ".bat" before another
// extension: its script is x.bat.bat, so the rebuilt x.bat.txt replaces no
// script while it runs, and the interpreter reads none of its lines.
TEST(WindowsRejoinTest, CommandsInTheInputNeverRun) {
  SKIP_UNLESS_WINDOWS();
  if (!batchInterpreterAvailable()) GTEST_SKIP() << "no batch interpreter";
  TempDir dir;
  const std::wstring input = L"x.bat.txt";
  std::string commands;
  while (commands.size() <= kMiB) commands += "echo PWNED>>pwned.txt\r\n";
  writeFile(dir / input, commands);
  RunOptions options;
  options.workingFolder = dir.wide();
  ASSERT_EQ(runFilesplit({input, L"1", L"out"}, options).exitCode, 0);

  options.workingFolder = dir / L"out";
  const RunResult rejoin = runBatch(L"x.bat.bat", options);
  EXPECT_EQ(rejoin.exitCode, 0) << rejoin.out;
  EXPECT_TRUE(sameBytes(dir / input, dir / (L"out\\" + input))) << "rebuilt file differs";
  for (const auto& [path, bytes] : snapshot(dir.wide()))
    EXPECT_EQ(path.find("pwned"), std::string::npos) << "a command of the input ran: " << path;
  EXPECT_EQ(listing(dir / L"out").size(), 5u) << "two pieces, script, digest, rebuilt file";
}

}  // namespace
