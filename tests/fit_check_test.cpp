// The check that a split fits in its output folder, with the file system's
// answers given by the test through the seam, run in-process on both
// builds: what is refused (the exact line, nothing written, nothing opened)
// and what goes ahead (to the script's open, which the seam then fails, so
// that inputs of over 4 GiB need not be copied).
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <locale>
#include <optional>
#include <tuple>

#include "in_process.h"
#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform_facts.h"
#include "script/rejoin_script.h"
#include "small_file_system.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"
#include "texts/join_texts.h"
#include "texts/split_texts.h"

namespace fs = std::filesystem;
namespace hooks = platform_test_hooks;
using platform::FaultPoint;

namespace {

constexpr uint64_t kGiB = 1024 * kMiB;
constexpr uint64_t kTiB = 1024 * kGiB;
// 3 MiB and 5 bytes in pieces of 1 MB: four pieces, a script of 80 bytes on
// disk ("chcp 65001", CR LF, one copy line of four pieces, CR LF) and the
// digest's 32: 3,145,845 bytes in all.
constexpr uint64_t kSmall = 3 * kMiB + 5;
constexpr uint64_t kSmallNeeds = kSmall + 80 + 32;
// Over 4 GiB, so that pieces of 4096 MB (4 GiB) are not "No need to split."
// In pieces of 4095 MB: two, a script of 54 bytes, the digest's 32.
constexpr uint64_t kLarge = 4 * kGiB + 1;
constexpr uint64_t kLargeNeeds = kLarge + 54 + 32;

const hooks::FakeSpace kPlenty{kTiB, 2 * kTiB};

struct FitCase {
  std::string name;
  uint64_t inputSize;
  std::wstring sizeMb;
  std::optional<hooks::FakeSpace> space;   // nullopt: the system's own answer
  int spaceError;                          // the free-space query fails with it
  std::optional<std::wstring> fileSystem;  // nullopt: the system's own answer
  int typeError;                           // the type query fails with it
  std::wstring refusal;                    // empty: the split goes ahead
  bool folderGiven = true;                 // "out"; else derived: "in"
  unsigned long blockSize = 1;             // of the faked space: 1, its numbers are bytes
  std::optional<hooks::FakeFileSizeLimit> fileSizeLimit =
      std::nullopt;  // nullopt: the system's own
};

void PrintTo(const FitCase& c, std::ostream* out) { *out << c.name; }

std::wstring notEnoughSpace(const std::wstring& folder, uint64_t needed, uint64_t free) {
  return L"Not enough free space in \"" + folder + L"\": the split needs " +
         std::to_wstring(needed) + L" bytes; " + std::to_wstring(free) + L" are free.";
}

std::wstring tooLargeForFat(const std::wstring& folder) {
  return L"The pieces would not fit on \"" + folder +
         L"\": its FAT file system holds files of at most 4294967295 bytes; choose a divide size "
         L"of at most 4095 MB.";
}

// The settings lines of a split of in.bin into out, and the line before the dots.
std::wstring splitSettings(const std::wstring& sizeMb) {
  return split_texts::settings(L"in.bin", sizeMb, L"out") + split_texts::kDividing + L"\n";
}

std::wstring tooLargeForLimit(const std::wstring& files, uint64_t limit) {
  return files + L" would not be written whole: this process may write files of at most " +
         std::to_wstring(limit) + L" bytes (ulimit -f).";
}

// A case of the small input with the free space `space`.
FitCase spaceCase(const std::string& name, std::optional<hooks::FakeSpace> space,
                  std::wstring refusal = L"", int error = 0) {
  return {name, kSmall, L"1", space, error, std::nullopt, 0, std::move(refusal)};
}

// A case of the large input in pieces of `sizeMb` on a file system named
// `fileSystem`, with space enough.
FitCase typeCase(const std::string& name, const std::wstring& sizeMb,
                 std::optional<std::wstring> fileSystem, std::wstring refusal = L"",
                 int error = 0) {
  return {name, kLarge, sizeMb, kPlenty, 0, std::move(fileSystem), error, std::move(refusal)};
}

std::vector<FitCase> fitCases() {
  const hooks::FakeSpace oneByteShort{kSmallNeeds - 1, kTiB};
  std::vector<FitCase> cases{
      spaceCase("SpaceOneByteShortIsRefused", oneByteShort,
                notEnoughSpace(L"out", kSmallNeeds, kSmallNeeds - 1)),
      spaceCase("SpaceToTheByteGoesAhead", hooks::FakeSpace{kSmallNeeds, kTiB}),
      spaceCase("FullFileSystemIsRefused", hooks::FakeSpace{0, kTiB},
                notEnoughSpace(L"out", kSmallNeeds, 0)),
      spaceCase("SizeOfZeroTellsNothing", hooks::FakeSpace{0, 0}),
      spaceCase("FailedSpaceQueryGoesAhead", hooks::FakeSpace{0, kTiB}, L"", EIO),
      spaceCase("SystemsOwnSpaceGoesAhead", std::nullopt),
      {"SpaceCountedPast4GiB", kLarge, L"4095", hooks::FakeSpace{kLargeNeeds - 1, kTiB}, 0,
       std::nullopt, 0, notEnoughSpace(L"out", kLargeNeeds, kLargeNeeds - 1)},
      {"SpaceForPast4GiBToTheByte", kLarge, L"4095", hooks::FakeSpace{kLargeNeeds, kTiB}, 0,
       std::nullopt, 0, L""},
      typeCase("FatWith4096IsRefused", L"4096", L"FAT", tooLargeForFat(L"out")),
      typeCase("Fat32With4096IsRefused", L"4096", L"FAT32", tooLargeForFat(L"out")),
      typeCase("Fat32With4095GoesAhead", L"4095", L"FAT32"),
      typeCase("FatWith4095GoesAhead", L"4095", L"FAT"),
      typeCase("ExFatWith4096GoesAhead", L"4096", L"exFAT"),
      typeCase("NtfsWith4096GoesAhead", L"4096", L"NTFS"),
      typeCase("UnnamedWith4096GoesAhead", L"4096", L""),
      typeCase("FailedTypeQueryGoesAhead", L"4096", L"FAT32", L"", EIO),
      typeCase("SystemsOwnTypeGoesAhead", L"4096", std::nullopt),
  };
  // Both wrong: the space is told first.
  FitCase both = typeCase("FullFatFileSystemTellsTheSpace", L"4096", L"FAT32",
                          notEnoughSpace(L"out", kLargeNeeds, 0));
  both.space = hooks::FakeSpace{0, kTiB};
  cases.push_back(both);
  FitCase derived = spaceCase("DerivedFolderIsNamed", oneByteShort,
                              notEnoughSpace(L"in", kSmallNeeds, kSmallNeeds - 1));
  derived.folderGiven = false;
  cases.push_back(derived);
  // 2^62 blocks of 8 bytes: past what 64 bits hold, never wrapped to 0.
  FitCase past64Bits = spaceCase("SpacePast64BitsIsNotWrapped", hooks::FakeSpace{1ULL << 62, kTiB});
  past64Bits.blockSize = 8;
  cases.push_back(past64Bits);
  // The soft file-size limit binds; a piece exactly at it goes ahead.
  for (const auto& [name, soft, hard, refusal] :
       {std::tuple{"LimitAtAPieceGoesAhead", kMiB, kMiB, std::wstring()},
        std::tuple{"LimitOneBelowAPieceIsRefused", kMiB - 1, kMiB - 1,
                   tooLargeForLimit(L"The pieces", kMiB - 1)},
        std::tuple{"SoftLimitBelowTheHardIsRefused", kMiB - 1, kTiB,
                   tooLargeForLimit(L"The pieces", kMiB - 1)}}) {
    FitCase limited = spaceCase(name, kPlenty, refusal);
    limited.fileSizeLimit = hooks::FakeFileSizeLimit{soft, hard};
    cases.push_back(limited);
  }
  // 70,000 pieces of 1 MB at the limit; their script of over 1 MiB is not.
  FitCase script = spaceCase("ScriptPastTheLimitIsRefused", kPlenty,
                             tooLargeForLimit(L"The rejoin script", kMiB));
  script.inputSize = 70000 * kMiB;
  script.fileSizeLimit = hooks::FakeFileSizeLimit{kMiB, kMiB};
  cases.push_back(script);
  FitCase derivedFat =
      typeCase("DerivedFolderIsNamedForFat", L"4096", L"FAT", tooLargeForFat(L"in"));
  derivedFat.folderGiven = false;
  cases.push_back(derivedFat);
  return cases;
}

// The seam reset around each check, and a folder to run it in.
class FitCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks::resetFaults();
    if (!hooks::injectFault({FaultPoint::textConversion, 1000, 0, SIZE_MAX, {}}))
      GTEST_SKIP() << "no fault injection in this build";
  }
  void TearDown() override {
    hooks::resetFaults();
    hooks::fakeFreeSpace(std::nullopt);
    hooks::fakeFileSystem(std::nullopt);
    fakeBlockSize(1);
    hooks::fakeFileSizeLimit(std::nullopt);
  }

  // Past the checks the script's open fails, so that a split they let
  // through writes nothing either: the second open, after the one that
  // holds the output folder.
  static void failScriptOpen() { hooks::injectFault({FaultPoint::open, 2, EACCES, SIZE_MAX, {}}); }

  // An input of `size` zero bytes, made without writing them.
  void makeInput(uint64_t size) {
    writeFile(dir / L"in.bin", "");
    fs::resize_file(platform::nativePath(dir / L"in.bin"), size);
  }

  InProcessRun split(const std::vector<std::wstring>& arguments,
                     const std::locale& userLocale = std::locale::classic()) {
    const CurrentFolder inside(dir.wide());
    return runInProcess(arguments, userLocale);
  }

  TempDir dir;
};

class FitCheckTest : public FitCheck, public ::testing::WithParamInterface<FitCase> {};

TEST_P(FitCheckTest, RefusesOnlyWhatCannotFit) {
  const FitCase& c = GetParam();
  if (c.fileSizeLimit && !hooks::fakeFileSizeLimit(c.fileSizeLimit))
    GTEST_SKIP() << "no file-size limit to fake here (Windows has none)";
  makeInput(c.inputSize);
  ASSERT_TRUE(hooks::fakeFreeSpace(c.space));
  ASSERT_TRUE(hooks::fakeFileSystem(c.fileSystem));
  if (c.blockSize != 1 && !fakeBlockSize(c.blockSize))
    GTEST_SKIP() << "the free space is told in bytes here, no blocks to multiply";
  if (c.spaceError != 0) hooks::injectFault({FaultPoint::freeSpace, 1, c.spaceError, SIZE_MAX, {}});
  if (c.typeError != 0)
    hooks::injectFault({FaultPoint::fileSystemType, 1, c.typeError, SIZE_MAX, {}});
  failScriptOpen();
  std::vector<std::wstring> arguments{L"in.bin", c.sizeMb};
  if (c.folderGiven) arguments.push_back(L"out");
  const InProcessRun run = split(arguments);

  const std::wstring folder = c.folderGiven ? L"out" : L"in";
  const std::wstring header =
      split_texts::settings(L"in.bin", c.sizeMb,
                            c.folderGiven ? std::optional<std::wstring>(L"out") : std::nullopt) +
      split_texts::kDividing + L"\n";
  const std::wstring told = c.refusal.empty() ? L"Permission denied." : c.refusal;
  EXPECT_EQ(run.exitCode, split_exit::kFailed);
  EXPECT_EQ(run.out, header + told + L"\n" + split_texts::usage(L"filesplit"));
  EXPECT_EQ(hooks::faultCalls(FaultPoint::open), c.refusal.empty() ? 2u : 1u);
  const std::string folderName(folder.begin(), folder.end());
  EXPECT_EQ(listing(dir.wide()),
            (std::map<std::string, uint64_t>{{"in.bin", c.inputSize}, {folderName, UINT64_MAX}}))
      << "the plan's folder alone is left";
}

INSTANTIATE_TEST_SUITE_P(Answers, FitCheckTest, ::testing::ValuesIn(fitCases()),
                         [](const auto& info) { return info.param.name; });

// ext4 keeps blocks back that only the superuser may write: a split that
// fits only with them is refused to others and goes ahead for root.
TEST_F(FitCheckTest, OnlyTheSuperuserCountsTheReserve) {
  if (windowsPlatform()) GTEST_SKIP() << "Windows file systems keep no superuser reserve";
  makeInput(kSmall);
  failScriptOpen();
  ASSERT_TRUE(hooks::fakeFreeSpace(hooks::FakeSpace{kSmallNeeds - 1, kTiB, 1}));
  const std::wstring told = runsAsSuperuser()
                                ? L"Permission denied."
                                : notEnoughSpace(L"out", kSmallNeeds, kSmallNeeds - 1);
  EXPECT_EQ(split({L"in.bin", L"1", L"out"}).out,
            splitSettings(L"1") + told + L"\n" + split_texts::usage(L"filesplit"));
}

// Thousands grouped with a comma, three digits a group, whatever the
// platform's named locales.
class CommaGrouping : public std::numpunct<wchar_t> {
 protected:
  wchar_t do_thousands_sep() const override { return L','; }
  std::string do_grouping() const override { return "\3"; }
};

TEST_F(FitCheckTest, RefusalsGroupDigitsAsTheUserLocaleDoes) {
  const std::locale commas(std::locale::classic(), new CommaGrouping);
  makeInput(kLarge);
  failScriptOpen();
  ASSERT_TRUE(hooks::fakeFreeSpace(hooks::FakeSpace{4294901760, kTiB}));
  EXPECT_EQ(split({L"in.bin", L"4095", L"out"}, commas).out,
            splitSettings(L"4,095") +
                L"Not enough free space in \"out\": the split needs 4,294,967,383 bytes; "
                L"4,294,901,760 are free.\n" +
                split_texts::usage(L"filesplit"));

  ASSERT_TRUE(hooks::fakeFreeSpace(kPlenty));
  ASSERT_TRUE(hooks::fakeFileSystem(std::wstring(L"FAT32")));
  hooks::resetFaults();
  failScriptOpen();
  EXPECT_EQ(split({L"in.bin", L"4096", L"out"}, commas).out,
            splitSettings(L"4,096") +
                L"The pieces would not fit on \"out\": its FAT file system holds files of at most "
                L"4,294,967,295 bytes; choose a divide size of at most 4095 MB.\n" +
                split_texts::usage(L"filesplit"));
}

// A split that fits is not changed by the check: it runs to its end.
TEST_F(FitCheckTest, SplitThatFitsRunsToItsEnd) {
  makeInput(kSmall);
  ASSERT_TRUE(hooks::fakeFreeSpace(hooks::FakeSpace{kSmallNeeds, kTiB}));
  ASSERT_TRUE(hooks::fakeFileSystem(std::wstring(L"FAT32")));
  const InProcessRun run = split({L"in.bin", L"1", L"out"});
  EXPECT_EQ(run.exitCode, split_exit::kSuccess);
  EXPECT_EQ(run.out, splitSettings(L"1") + L"....");
  EXPECT_EQ(listing(dir / L"out"), (std::map<std::string, uint64_t>{{"in.bat", 80},
                                                                    {"in.bin_1", kMiB},
                                                                    {"in.bin_2", kMiB},
                                                                    {"in.bin_3", kMiB},
                                                                    {"in.bin_4", 5},
                                                                    {"in.md5", 32}}));
}

// ---- The join's check, run where the pieces are (`cd parts && filejoin in.bat`) --

struct JoinFitCase {
  std::string name;
  uint64_t firstPiece;  // two pieces of no bytes but their size
  uint64_t lastPiece;
  hooks::FakeSpace space;
  std::optional<std::wstring> fileSystem;  // nullopt: the system's own answer
  std::wstring refusal;                    // empty: the join goes ahead
};

void PrintTo(const JoinFitCase& c, std::ostream* out) { *out << c.name; }

std::vector<JoinFitCase> joinFitCases() {
  return {
      // The current folder is asked about, not a folder of no name.
      {"CurrentFolderWithTooLittleSpace",
       kMiB,
       5,
       {kMiB + 4, kTiB},
       std::nullopt,
       L"Not enough free space in \".\": the rebuilt file needs 1048581 bytes; 1048580 are "
       L"free."},
      // FAT holds the pieces, not the whole they make.
      {"FatWholeFilePast4GiB", 2 * kGiB, 2 * kGiB, kPlenty, L"FAT32",
       L"The rebuilt file would not fit on \".\": its FAT file system holds files of at most "
       L"4294967295 bytes."},
      {"FatHoldsTheLargestFileItCan", 2 * kGiB, 2 * kGiB - 1, kPlenty, L"FAT32", L""},
  };
}

class JoinFitTest : public FitCheck, public ::testing::WithParamInterface<JoinFitCase> {};

TEST_P(JoinFitTest, RefusesBeforeWritingWhatCannotFit) {
  const JoinFitCase& c = GetParam();
  writeFile(dir / L"in.bat", rejoinScriptBytes(L"in.bin", {L"in.bin_1", L"in.bin_2"}));
  writeFile(dir / L"in.md5", std::string(32, '0'));
  writeFile(dir / L"in.bin_1", "");
  writeFile(dir / L"in.bin_2", "");
  fs::resize_file(platform::nativePath(dir / L"in.bin_1"), c.firstPiece);
  fs::resize_file(platform::nativePath(dir / L"in.bin_2"), c.lastPiece);
  ASSERT_TRUE(hooks::fakeFreeSpace(c.space));
  ASSERT_TRUE(hooks::fakeFileSystem(c.fileSystem));
  // Past the check, the rebuilt file cannot be created: nothing is written either way.
  hooks::injectFault({FaultPoint::pendingCreation, 0, EACCES, SIZE_MAX, {}});
  const CurrentFolder inside(dir.wide());
  const InProcessRun run = runJoinInProcess({L"in.bat"});

  EXPECT_EQ(run.exitCode, join_exit::kFailed);
  const std::wstring header = join_texts::settings(L"in.bat") + join_texts::kJoining + L"\n";
  if (c.refusal.empty()) {
    EXPECT_EQ(hooks::faultCalls(FaultPoint::pendingCreation), 1u) << "the check let it pass";
  } else {
    EXPECT_EQ(run.out.substr(0, header.size() + c.refusal.size() + 1), header + c.refusal + L"\n");
    EXPECT_EQ(hooks::faultCalls(FaultPoint::pendingCreation), 0u);
  }
  EXPECT_EQ(listing(dir.wide()).size(), 4u) << "the script, the digest and the pieces alone";
}

INSTANTIATE_TEST_SUITE_P(Answers, JoinFitTest, ::testing::ValuesIn(joinFitCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
