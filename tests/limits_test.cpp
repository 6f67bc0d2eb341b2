// The tools at the limits a user's ulimit sets, and with a script past any
// cap a reader might set, with the real binaries.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <functional>
#include <new>
#include <tuple>
#include <utility>

#include "join/join_exit_codes.h"
#include "process.h"
#include "script/rejoin_script.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"
#include "transfer/guarded_run.h"

namespace fs = std::filesystem;

namespace {

// Limits that leave a tool no thread or memory, or no file as large as the
// rebuilt one, as a user's ulimit -u, -v or -f may: each run either succeeds
// or ends 1 with one line in words, never a crash or a bare exception name,
// and leaves no temporary or unverified file.
// A thread the system refuses (not the seam) is told as such by each tool:
// a split runs 3 threads, a join 4, so a limit of 3 or 4 lets the split
// through and refuses the join.
TEST(LimitsTest, NoThreadOrMemoryIsToldInWords) {
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
  const auto limited = [&](uint64_t kib) {
    RunOptions options;
    options.workingFolder = dir.wide();
    options.memoryLimit = kib * 1024;
    return options;
  };
  const auto splitWithin = [&](uint64_t kib) {
    fs::remove_all(dir.native() / "sweep");
    return runFilesplit({L"in.bin", L"1", L"sweep"}, limited(kib));
  };
  const auto joinWithin = [&](uint64_t kib) {
    fs::remove_all(dir.native() / "sweep");
    return runFilejoin({L"out0-0-0/in.bat", L"sweep"}, limited(kib));
  };
  const auto checkWithin = [&](uint64_t kib) {
    return runFilejoin({L"--check", L"out0-0-0/in.bat"}, limited(kib));
  };
  // KiB by KiB from the loader's limit (found by halving: below it the
  // loader alone answers, 127) over where each tool starts: its static
  // initializers, the runtime's room for exceptions, the entry's first
  // allocations.
  constexpr int kLoaderFailed = 127;
  using Run = std::function<RunResult(uint64_t)>;
  for (const Run& run : {Run(splitWithin), Run(checkWithin)}) {
    uint64_t low = 1024, high = 131072;  // the loader fails at low, not at high
    while (high - low > 1) {
      const uint64_t middle = (low + high) / 2;
      (run(middle).exitCode == kLoaderFailed ? low : high) = middle;
    }
    for (uint64_t kib = high; kib < high + 512; ++kib) toldInWords(run(kib), false);
  }
  // Over where each tool's threads begin to start (found by halving), where
  // the first allocations of the threads fail: filejoin --check KiB by KiB,
  // the others page by page.
  const std::pair<Run, uint64_t> threadSweeps[] = {
      {splitWithin, 4}, {joinWithin, 4}, {checkWithin, 1}};
  for (const auto& [run, step] : threadSweeps) {
    uint64_t low = 4096, high = 131072;  // no thread at low, threads at high
    while (high - low > 4) {
      const uint64_t middle = (low + high) / 8 * 4;
      (run(middle).out.find("Cannot start a thread") != std::string::npos ? low : high) = middle;
    }
    for (uint64_t kib = high - 128; kib <= high + 128; kib += step) toldInWords(run(kib), false);
  }
#ifndef _WIN32
  ::umask(umaskBefore);
#endif
}

// Where memory is short even for the failure's line, the run still ends
// with its code: the fixed line goes out by the system's write (here to
// this test's standard error), no second bad_alloc leaves the run.
TEST(LimitsTest, LineThatCannotBeMadeStillEndsTheRun) {
  const auto outOfMemory = [](auto&&...) -> int { throw std::bad_alloc(); };
  EXPECT_EQ(guardedRun(outOfMemory, outOfMemory, 1, platform::StandardStream::error), 1);
}

// A script of 330,000 pieces named after a stem of 204 letters (75 MB, more
// than any cap a reader might set), whose first piece is missing: read in
// bounded memory, and refused for that piece.
TEST(LimitsTest, ScriptOf75MegabytesIsReadInBoundedMemory) {
  TempDir dir;
  const std::wstring stem(204, L'b');
  RejoinScript script(stem);
  std::string bytes;
  for (int piece = 1; piece <= 330000; ++piece) {
    script.addPiece((stem + L"_" + std::to_wstring(piece)).c_str());
    if (piece % 1000 == 0) bytes += script.takeBytes();
  }
  bytes += script.finish();
  fs::create_directories(dir.native() / "parts");
  writeFile(dir / L"parts/big.bat", bytes);
  RunOptions options;
  options.workingFolder = dir.wide();
  // The old reader held the whole script and every name: over 600 MB.
  if (memoryLimitSupported()) options.memoryLimit = 128 * kMiB;
  // Without a digest file the join must be told to go on.
  const RunResult result = runFilejoin({L"--unverified", L"parts/big.bat", L"out"}, options);
  EXPECT_EQ(result.exitCode, join_exit::kPieceMissing) << result.out;
  const std::string line = consoleBytes(L"The piece \"parts/" + stem + L"_1\" is missing.");
  EXPECT_NE(("\n" + result.out).find("\n" + line), std::string::npos) << result.out;
  EXPECT_TRUE(!fs::exists(dir.native() / "out") || fs::is_empty(dir.native() / "out"));
}

}  // namespace
