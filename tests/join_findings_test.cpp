// The ways a careless or hostile user broke filejoin's promise, each run as
// it was found, with the real binaries: a file under the final name holds
// only verified bytes, nothing is replaced, nothing blocks, and what cannot
// work is told before anything is written.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <tuple>

#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "small_file_system.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"
#include "usage_text.h"

namespace fs = std::filesystem;

namespace {

struct Finding {
  const char* name;
  /// Readies the split folder (parts/ beside in.bin); returns a reason to
  /// skip on this platform, or "".
  std::function<std::string(TempDir&, RunOptions&)> prepare;
  std::vector<std::wstring> arguments;
  int exitCode;
  std::wstring line;  // the last line before the usage text ("" when none follows)
  bool rebuilt;       // parts/in.bin holds the input afterwards
};

void PrintTo(const Finding& c, std::ostream* out) { *out << c.name; }

class JoinFindingsTest : public ::testing::TestWithParam<Finding> {};

#ifdef _WIN32
std::string onlyOnPosix() { return "no FIFOs, symbolic links or permission bits here"; }
void makeFifo(const fs::path&) {}
#else
std::string onlyOnPosix() { return ""; }
void makeFifo(const fs::path& path) { ::mkfifo(path.c_str(), 0600); }
#endif

// A piece another program holds open for writing (a download still
// running, a sync client), from a row's preparation to the run's end.
std::unique_ptr<std::ofstream> pieceInUse;

TEST_P(JoinFindingsTest, TellsAndLeavesOnlyWhatItShould) {
  const Finding& c = GetParam();
  TempDir dir;
  RunOptions options;
  options.workingFolder = dir.wide();
  const std::string input = patternBytes(4 * kMiB + 5, 31);
  writeFile(dir / L"in.bin", input);
  ASSERT_EQ(runFilesplit({L"in.bin", L"1", L"parts"}, options).exitCode, split_exit::kSuccess);
  const std::string skip = c.prepare(dir, options);
  if (!skip.empty()) GTEST_SKIP() << skip;
  const RunResult result = runFilejoin(c.arguments, options);
  pieceInUse.reset();
  EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
  if (c.exitCode != join_exit::kSuccess) {  // told before anything was written: no dots
    EXPECT_EQ(result.out, consoleBytes(L"Script: parts/in.bat\nJoining.....\n" + c.line));
  } else {
    const std::string tail = consoleBytes(c.line);
    ASSERT_GE(result.out.size(), tail.size()) << result.out;
    EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail);
  }
  const bool rebuilt = fs::is_regular_file(dir.native() / "parts" / "in.bin") &&
                       readFile(dir / L"parts/in.bin") == input;
  EXPECT_EQ(rebuilt, c.rebuilt);
  for (const auto& entry : fs::directory_iterator(dir.native() / "parts"))
    EXPECT_NE(entry.path().filename().string().rfind("filejoin-", 0), 0u)
        << "a temporary file left";
}

const std::wstring kRebuilt = L"\"parts/in.bin\" was rebuilt and matches \"parts/in.md5\".\n";

INSTANTIATE_TEST_SUITE_P(
    Findings, JoinFindingsTest,
    ::testing::Values(
        Finding{"StoppedSplitLeavesNoDigest",
                [](TempDir& d, RunOptions&) {
                  fs::remove(d.native() / "parts" / "in.md5");
                  fs::resize_file(d.native() / "parts" / "in.bin_5", 2);
                  return std::string();
                },
                {L"parts/in.bat"},
                join_exit::kUnverified,
                L"There is no \"parts/in.md5\": the split may not have finished; nothing was "
                L"written (--unverified rebuilds anyway).\n",
                false},
        Finding{"LeftoverTemporaryNamesBlockNothing",
                [](TempDir& d, RunOptions&) {
                  writeFile(d / L"parts/in.bin.filejoin-tmp", "old");
                  fs::rename(d.native() / "parts" / "in.bin.filejoin-tmp",
                             d.native() / "in.bin.filejoin-tmp");
                  return std::string();
                },
                {L"parts/in.bat"},
                join_exit::kSuccess,
                kRebuilt,
                true},
        Finding{"PieceReplacedByAFifo",
                [](TempDir& d, RunOptions&) {
                  if (!onlyOnPosix().empty()) return onlyOnPosix();
                  fs::remove(d.native() / "parts" / "in.bin_2");
                  makeFifo(d.native() / "parts" / "in.bin_2");
                  return std::string();
                },
                {L"parts/in.bat"},
                join_exit::kPieceMissing,
                L"The piece \"parts/in.bin_2\" is not a file.\n",
                false},
        Finding{"DanglingLinkAtTheFinalName",
                [](TempDir& d, RunOptions&) {
                  if (!onlyOnPosix().empty()) return onlyOnPosix();
                  fs::create_symlink("nowhere", d.native() / "parts" / "in.bin");
                  return std::string();
                },
                {L"parts/in.bat"},
                join_exit::kOutputExists,
                L"\"parts/in.bin\" exists already.\n",
                false},
        Finding{"PieceThatIsALinkLoop",
                [](TempDir& d, RunOptions&) {
                  if (!onlyOnPosix().empty()) return onlyOnPosix();
                  fs::remove(d.native() / "parts" / "in.bin_3");
                  fs::create_symlink("in.bin_3", d.native() / "parts" / "in.bin_3");
                  return std::string();
                },
                {L"parts/in.bat"},
                join_exit::kPieceMissing,
                L"The piece \"parts/in.bin_3\" is not a file.\n",
                false},
        Finding{"UnreadablePieceAsAnotherUser",
                [](TempDir& d, RunOptions& o) {
                  if (!onlyOnPosix().empty()) return onlyOnPosix();
                  fs::permissions(d.native(), fs::perms::all, fs::perm_options::add);
                  fs::permissions(d.native() / "parts", fs::perms::all, fs::perm_options::add);
                  for (const auto& entry : fs::directory_iterator(d.native() / "parts"))
                    fs::permissions(entry.path(), fs::perms::others_read, fs::perm_options::add);
                  fs::permissions(d.native() / "parts" / "in.bin_3", fs::perms::none);
                  o.withoutPrivileges = true;
                  return std::string();
                },
                {L"parts/in.bat"},
                join_exit::kFailed,
                L"Cannot read \"parts/in.bin_3\": Permission denied.\n",
                false},
        // Windows tells a sharing violation; Linux a lease refused, as denied.
        Finding{"PieceInUseByAnotherProgram",
                [](TempDir& d, RunOptions&) {
                  pieceInUse = std::make_unique<std::ofstream>(
                      platform::nativePath(d / L"parts/in.bin_3"), std::ios::app);
                  return std::string();
                },
                {L"parts/in.bat"},
                join_exit::kFailed,
                windowsPlatform()
                    ? L"Cannot read \"parts/in.bin_3\": it is in use by another program\n"
                    : L"Cannot read \"parts/in.bin_3\": Permission denied.\n",
                false},
        Finding{"OddPieceIsTheOneNamed",
                [](TempDir& d, RunOptions&) {
                  fs::resize_file(d.native() / "parts" / "in.bin_3", kMiB + 1);
                  return std::string();
                },
                {L"parts/in.bat"},
                join_exit::kPieceSizeWrong,
                L"The piece \"parts/in.bin_3\" has " + childNumber(kMiB + 1) + L" bytes; " +
                    childNumber(kMiB) + L" expected.\n",
                false},
        Finding{"DigestFileOfTheMostBytes",
                [](TempDir& d, RunOptions&) {
                  const std::wstring digest = d / L"parts/in.md5";
                  writeFile(digest, readFile(digest) + std::string(4096 - 32 - 2, ' ') + "\r\n");
                  return std::string();
                },
                {L"parts/in.bat"},
                join_exit::kSuccess,
                kRebuilt,
                true},
        // Run where the pieces are: the second "--" is the script's name.
        Finding{"ScriptNamedLikeTheEndOfOptions",
                [](TempDir& d, RunOptions& o) {
                  fs::rename(d.native() / "parts" / "in.bat", d.native() / "parts" / "--");
                  fs::rename(d.native() / "parts" / "in.md5", d.native() / "parts" / "--.md5");
                  o.workingFolder = d / L"parts";
                  return std::string();
                },
                {L"--", L"--"},
                join_exit::kSuccess,
                L"\"in.bin\" was rebuilt and matches \"--.md5\".\n",
                true},
        Finding{"HelpAndTheEndOfOptions",
                [](TempDir&, RunOptions&) { return std::string(); },
                {L"--", L"parts/in.bat"},
                join_exit::kSuccess,
                kRebuilt,
                true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JoinFindingsOnceTest, HelpPrintsTheUsageAndSucceeds) {
  const RunResult result = runFilejoin({L"--help"});
  EXPECT_EQ(result.exitCode, join_exit::kSuccess);
  EXPECT_EQ(result.out, consoleBytes(joinUsageLines()));
}

// The outputs, pieces to rebuilt file, have the input's permissions less
// the umask's: a 0600 input stays private, a 0666 one under umask 022 gives
// 0644 files.
TEST(JoinFindingsOnceTest, OutputsHaveTheInputsPermissionsLessTheUmask) {
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

// A rebuilt file larger than the free space is refused before a byte.
TEST(JoinFindingsOnceTest, NoRoomIsToldBeforeWriting) {
  TempDir dir;
  fs::create_directory(dir.native() / "small");
  const SmallFileSystem small(dir.wide() + L"/small", 4 * kMiB);
  if (!small.mounted()) GTEST_SKIP() << small.whyNot();
  RunOptions options;
  options.workingFolder = dir.wide();
  writeFile(dir / L"in.bin", patternBytes(5 * kMiB, 33));
  ASSERT_EQ(runFilesplit({L"in.bin", L"1", L"parts"}, options).exitCode, split_exit::kSuccess);
  const RunResult result = runFilejoin({L"parts/in.bat", L"small"}, options);
  EXPECT_EQ(result.exitCode, join_exit::kFailed);
  EXPECT_NE(result.out.find("Not enough free space in \"small\": the rebuilt file needs "),
            std::string::npos)
      << result.out;
  EXPECT_TRUE(fs::is_empty(dir.native() / "small"));
}

// Limits that leave a tool no thread or memory, or no file as large as the
// rebuilt one, as a user's ulimit -u, -v or -f may: each run either succeeds
// or ends 1 with one line in words, never a crash or a bare exception name,
// and leaves no temporary or unverified file.
// A thread the system refuses (not the seam) is told as such by each tool:
// a split runs 3 threads, a join 4, so a limit of 3 or 4 lets the split
// through and refuses the join.
TEST(JoinFindingsOnceTest, NoThreadOrMemoryIsToldInWords) {
  if (!memoryLimitSupported() || !processLimitSupported() || !unprivilegedChildIsAnotherUser())
    GTEST_SKIP() << "no process or memory limit for a child of another user here";
#ifndef _WIN32
  // Splits run in this process before narrowed its umask to their inputs'
  // permissions; the children, run as another user, enter what they make.
  const mode_t umaskBefore = ::umask(022);
#endif
  TempDir dir;
  const std::string input = patternBytes(3 * kMiB + 5, 35);
  writeFile(dir / L"in.bin", input);
  fs::permissions(dir.native(), fs::perms::all);
  fs::permissions(dir.native() / "in.bin", fs::perms::others_read, fs::perm_options::add);
  const auto toldInWords = [](const RunResult& run, bool threadsLimited) {
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode << ": " << run.out;
    EXPECT_EQ(run.out.find("terminate"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("std::"), std::string::npos) << run.out;
    if (threadsLimited && run.exitCode != 0) {
      EXPECT_NE(run.out.find("\nCannot start a thread: "), std::string::npos) << run.out;
    }
    return run.exitCode != 0 && threadsLimited;
  };
  unsigned refusedSplits = 0, refusedJoins = 0;
  // Processes and threads of the user, address space in KiB, file size.
  const std::tuple<uint64_t, uint64_t, uint64_t> limits[] = {
      {1, 0, 0},     {2, 0, 0},        {3, 0, 0},     {4, 0, 0},     {0, 16000, 0},
      {0, 20000, 0}, {0, 24000, 0},    {0, 28000, 0}, {0, 32000, 0}, {0, 36000, 0},
      {0, 40000, 0}, {0, 0, 2 * kMiB}, {0, 0, 0}};
  for (const auto& [processes, kib, fileSize] : limits) {
    const std::wstring folder = L"out" + std::to_wstring(processes) + L"-" + std::to_wstring(kib) +
                                L"-" + std::to_wstring(fileSize);
    SCOPED_TRACE(folder);
    RunOptions options;
    options.workingFolder = dir.wide();
    options.withoutPrivileges = true;
    options.processLimit = processes;
    options.memoryLimit = kib * 1024;
    options.fileSizeLimit = fileSize;
    const RunResult split = runFilesplit({L"in.bin", L"1", folder}, options);
    refusedSplits += toldInWords(split, processes != 0) ? 1 : 0;
    if (split.exitCode != split_exit::kSuccess) continue;
    const RunResult join = runFilejoin({folder + L"/in.bat"}, options);
    refusedJoins += toldInWords(join, processes != 0) ? 1 : 0;
    if (join.exitCode == join_exit::kSuccess)
      EXPECT_TRUE(readFile(dir / (folder + L"/in.bin")) == input);
    else
      EXPECT_FALSE(fs::exists(dir.native() / folder / "in.bin"));
    for (const auto& entry : fs::directory_iterator(dir.native() / folder))
      EXPECT_NE(entry.path().filename().string().rfind("filejoin-", 0), 0u) << "left";
  }
  EXPECT_GT(refusedSplits, 0u) << "no split was refused a thread";
  EXPECT_GT(refusedJoins, 0u) << "no join was refused a thread";
  // Page by page over where each tool's threads begin to start (found by
  // halving), where the first allocations of the threads fail.
  const auto limited = [&](uint64_t kib) {
    RunOptions options;
    options.workingFolder = dir.wide();
    options.memoryLimit = kib * 1024;
    return options;
  };
  const std::function<RunResult(uint64_t)> tools[] = {
      [&](uint64_t kib) {
        return runFilesplit({L"in.bin", L"1", L"sweep"}, limited(kib));
      },
      [&](uint64_t kib) {
        return runFilejoin({L"out0-0-0/in.bat", L"sweep"}, limited(kib));
      }};
  for (const auto& run : tools) {
    uint64_t low = 4096, high = 131072;  // no thread at low, threads at high
    while (high - low > 4) {
      const uint64_t middle = (low + high) / 8 * 4;
      fs::remove_all(dir.native() / "sweep");
      (run(middle).out.find("Cannot start a thread") != std::string::npos ? low : high) = middle;
    }
    for (uint64_t kib = high - 128; kib <= high + 128; kib += 4) {
      fs::remove_all(dir.native() / "sweep");
      toldInWords(run(kib), false);
    }
  }
#ifndef _WIN32
  ::umask(umaskBefore);
#endif
}

// Names of 243 to 253 bytes: the temporary name no longer grows with them.
TEST(JoinFindingsOnceTest, LongestNamesComeBack) {
  TempDir dir;
  RunOptions options;
  options.workingFolder = dir.wide();
  const std::wstring name = std::wstring(249, L'n') + L".bin";
  writeFile(dir / name, patternBytes(kMiB + 1, 34));
  const RunResult split = runFilesplit({name, L"1", L"parts"}, options);
  if (split.exitCode != split_exit::kSuccess)
    GTEST_SKIP() << "the platform holds no name this long here";
  const RunResult join = runFilejoin({L"parts", L"out"}, options);
  EXPECT_EQ(join.exitCode, join_exit::kSuccess) << join.out;
  EXPECT_TRUE(readFile(dir / (L"out/" + name)) == readFile(dir / name));
}

}  // namespace
