// Every call of a join failed in turn, and every transfer cut short: the
// final name appears only when the run succeeded, a temporary file left
// behind holds the start of the right bytes, nothing else is written or
// changed, exactly one line tells the failure, and the run ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <locale>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>

#include "app/join_front_end.h"
#include "deadline.h"
#include "fault_walk.h"
#include "in_process.h"
#include "join/join_exit_codes.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform_facts.h"
#include "script/rejoin_script.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"
#include "texts/join_texts.h"

namespace fs = std::filesystem;
namespace hooks = platform_test_hooks;
using platform::FaultPoint;

namespace {

struct JoinShape {
  const char* name;
  std::vector<std::wstring> arguments;
  std::string target;  // where the rebuilt file goes, "/" separated
  int cleanExit;
  bool withoutDigest = false;
  // The folders flushed after the name, as their failures name them: the
  // file's own, then each the run created and the one above them.
  std::vector<std::wstring> flushedFolders = {};
  // The file system refuses writes past the cache: the rebuilt file goes
  // through it, each block's write-back started.
  bool directWritesRefused = false;
};

void PrintTo(const JoinShape& shape, std::ostream* out) { *out << shape.name; }

using fault_walk::Walk;

// The join's own: the rebuilt file's creation, flush, write-back and name,
// the pieces' facts and cache drops, the folders' flushes, and the ways
// past the cache for the rebuilt file's writes and the pieces' reads, the
// threads (the interrupt's watcher, the block loop's).
const std::vector<FaultPoint> kPoints = fault_walk::fileCallsAnd(
    {FaultPoint::rename, FaultPoint::openFileFacts, FaultPoint::nameStatus,
     FaultPoint::pendingCreation, FaultPoint::flush, FaultPoint::writeBack, FaultPoint::cacheDrop,
     FaultPoint::folderFlush, FaultPoint::mediumWrites, FaultPoint::cacheQuery,
     FaultPoint::threadStart});

// Calls whose failure the join rides out: closing what was read, and the
// choice of a way past the cache, whose refusal leaves the way through it.
bool riddenOut(FaultPoint point) {
  return point == FaultPoint::close || point == FaultPoint::mediumWrites ||
         point == FaultPoint::cacheQuery;
}

// A temporary folder, made the current one, holding in.bin and a fresh split
// of it into parts/; the seam's counts start again after the split.
class SplitFolder {
 public:
  explicit SplitFolder(const std::string& input) : inside_(dir.wide()) {
    writeFile(dir / L"in.bin", input);
    hooks::resetFaults();
    split = runInProcess({L"in.bin", L"1", L"parts"}).exitCode;
    hooks::resetFaults();
  }
  TempDir dir;
  int split = -1;  // the split's exit code

 private:
  CurrentFolder inside_;
};

// The points walked. With writes past the cache refused, the writes and
// their write-back alone, the calls that go the other way then: the other
// calls are those of the shapes that take the way past the cache.
std::vector<FaultPoint> pointsOf(const JoinShape& shape) {
  if (shape.directWritesRefused) return {FaultPoint::write, FaultPoint::writeBack};
  return kPoints;
}

// The place of `point` in kPoints, and so in a Walk's calls.
size_t indexOf(FaultPoint point) {
  return static_cast<size_t>(std::find(std::begin(kPoints), std::end(kPoints), point) -
                             std::begin(kPoints));
}

class JoinFaultWalkTest : public ::testing::TestWithParam<JoinShape> {
 protected:
  void SetUp() override {
    if (!fault_walk::seamPresent()) GTEST_SKIP() << "no fault injection in this build";
    input = patternBytes(3 * kMiB + 5, 21);
    clean = walk({});
    if (!GetParam().directWritesRefused) {
      ASSERT_GT(clean.calls[indexOf(FaultPoint::read)], 4u) << "the seam saw the reads";
    }
    ASSERT_EQ(clean.run.exitCode, GetParam().cleanExit)
        << std::string(clean.run.out.begin(), clean.run.out.end());
    calls = clean.calls;
  }

  void TearDown() override { hooks::resetFaults(); }

  // One join with `faults` planned, of a fresh split of the input.
  Walk walk(std::vector<hooks::Fault> faults) {
    if (GetParam().directWritesRefused)
      faults.push_back({FaultPoint::mediumWrites, 0, EINVAL, SIZE_MAX, {}});
    const SplitFolder folder(input);
    const TempDir& dir = folder.dir;
    if (folder.split != split_exit::kSuccess) ADD_FAILURE() << "split failed";
    if (GetParam().withoutDigest) fs::remove(dir.native() / "parts" / "in.md5");
    before = snapshot(dir.wide());
    return fault_walk::walkOnce(faults, points, dir.wide(),
                                [] { return runJoinInProcess(GetParam().arguments); });
  }

  // `failedPoint`: the point whose call failed with EIO; textConversion for
  // none (a transfer cut short).
  void expectNothingLostOrCorrupted(const Walk& failed,
                                    FaultPoint failedPoint = FaultPoint::textConversion);

  const std::vector<FaultPoint> points = pointsOf(GetParam());
  std::string input;
  std::map<std::string, std::string> before;  // of the last walk
  Walk clean;
  std::vector<unsigned> calls;  // per point of kPoints, in a clean run
};

void JoinFaultWalkTest::expectNothingLostOrCorrupted(const Walk& failed, FaultPoint failedPoint) {
  EXPECT_TRUE(failed.ended) << "the run did not end by itself";
  if (failed.run.exitCode == GetParam().cleanExit) {
    EXPECT_TRUE(failed.files == clean.files) << "a run that ended as a clean one left other files";
    return;
  }
  const std::wstring& said = failed.run.out;
  const size_t settings = said.find(L".....\n") + 6;
  std::wstring rest = said.substr(settings);
  rest.erase(0, rest.find_first_not_of(L".\n"));
  // One line tells the failure; a second one the temporary file left, if any.
  const size_t told = rest.find(L"\" is left from this run and may be removed.\n");
  EXPECT_EQ(std::count(rest.begin(), rest.end(), L'\n'), told == std::wstring::npos ? 1 : 2)
      << std::string(rest.begin(), rest.end());
  // A failed write, close or rename is a failed run, and its line tells the
  // fault's own error (never, say, that a name exists already).
  if (failedPoint == FaultPoint::write || failedPoint == FaultPoint::close ||
      failedPoint == FaultPoint::rename) {
    EXPECT_EQ(failed.run.exitCode, join_exit::kFailed);
    EXPECT_NE(rest.find(L": " + platform::systemErrorText(EIO) + L"\n"), std::wstring::npos)
        << std::string(rest.begin(), rest.end());
  }

  const std::string folder = GetParam().target.substr(0, GetParam().target.rfind('/') + 1);
  // Only a close, or (Windows) the name's flush, that fails after the name
  // was given leaves it, on the verified bytes: the file must be open to be
  // named.
  const auto named = failed.files.find(GetParam().target);
  if (named != failed.files.end()) {
    EXPECT_TRUE(failedPoint == FaultPoint::close || failedPoint == FaultPoint::flush)
        << "the final name after a failure";
    EXPECT_NE(rest.find(L"Cannot write"), std::wstring::npos) << "the final name after a failure";
    EXPECT_TRUE(named->second == input) << "the final name holds other bytes";
  }
  for (const auto& [path, bytes] : failed.files) {
    const auto was = before.find(path);
    if (was != before.end()) {
      EXPECT_TRUE(was->second == bytes) << path << " was changed";
    } else if (path == GetParam().target) {
      continue;
    } else if (path.compare(0, folder.size() + 9, folder + "filejoin-") == 0) {
      EXPECT_NE(told, std::wstring::npos) << path << " was left and not told";
      EXPECT_TRUE(fault_walk::startsWith(input, bytes))
          << "the temporary file is not the start of the input";
    } else {
      EXPECT_EQ(bytes, "<dir>") << path << " was written";
    }
  }
}

TEST_P(JoinFaultWalkTest, EveryFailureLeavesOnlyTheStartOfTheRebuiltFile) {
  std::vector<std::wstring> flushedFolders;
  fault_walk::forEachCall(calls, [&](size_t p, unsigned call) {
    const Walk failed = walk({{points[p], call, EIO, SIZE_MAX, {}}});
    if (points[p] == FaultPoint::folderFlush) {
      // After the final name: the file is whole, the run still fails.
      EXPECT_EQ(failed.run.exitCode, join_exit::kFailed);
      EXPECT_TRUE(failed.files.at(GetParam().target) == input);
      const std::wstring cannot = L"Cannot write \"";
      const size_t start = failed.run.out.find(cannot) + cannot.size();
      flushedFolders.push_back(
          failed.run.out.substr(start, failed.run.out.find(L'"', start) - start));
      return;
    }
    if (failed.run.exitCode == GetParam().cleanExit) {
      EXPECT_TRUE(riddenOut(points[p]));
    }
    if (fault_walk::mustBeRiddenOut(points[p], call, calls[p])) {
      EXPECT_EQ(failed.run.exitCode, GetParam().cleanExit);
    }
    expectNothingLostOrCorrupted(failed, points[p]);
  });
  EXPECT_EQ(flushedFolders, GetParam().flushedFolders);
}

TEST_P(JoinFaultWalkTest, EveryShortTransferIsMadeUp) {
  fault_walk::forEachCall(calls, [&](size_t p, unsigned call) {
    if (points[p] != FaultPoint::read && points[p] != FaultPoint::write) return;
    const Walk shortened = walk({{points[p], call, 0, 1, {}}});
    EXPECT_EQ(shortened.run.exitCode, GetParam().cleanExit);
    expectNothingLostOrCorrupted(shortened);
  });
}

TEST_P(JoinFaultWalkTest, PieceThatChangesWhileReadEndsTheRun) {
  if (GetParam().withoutDigest) GTEST_SKIP() << "the same with a digest file";
  if (GetParam().directWritesRefused) GTEST_SKIP() << "the same with writes past the cache";
  for (const int64_t change : {-1, 1}) {
    SCOPED_TRACE(change);
    // After the pieces were measured, before the second of the four is read:
    // the third open from the end.
    const Walk changed =
        walk({{FaultPoint::open, calls[indexOf(FaultPoint::open)] - 2, 0, SIZE_MAX, [change] {
                 const fs::path piece = fs::current_path() / "parts" / "in.bin_2";
                 fs::resize_file(piece, static_cast<uint64_t>(static_cast<int64_t>(kMiB) + change));
               }}});
    EXPECT_EQ(changed.run.exitCode, join_exit::kFailed);
    EXPECT_NE(changed.run.out.find(L"in.bin_2\" changed while it was read.\n"), std::wstring::npos)
        << std::string(changed.run.out.begin(), changed.run.out.end());
  }
}

TEST_P(JoinFaultWalkTest, ScriptThatChangesBetweenThePassesEndsTheRun) {
  if (GetParam().directWritesRefused) GTEST_SKIP() << "the same with writes past the cache";
  // Before the last pass opens it (the pieces' four opens follow), the script
  // names one piece fewer: every name still there, the count no longer the same.
  const Walk changed =
      walk({{FaultPoint::open, calls[indexOf(FaultPoint::open)] - 4, 0, SIZE_MAX, [] {
               writeFile(L"parts/in.bat",
                         rejoinScriptBytes(L"in.bin", {L"in.bin_1", L"in.bin_2", L"in.bin_3"}));
             }}});
  EXPECT_EQ(changed.run.exitCode, join_exit::kFailed);
  EXPECT_NE(changed.run.out.find(L"in.bat\" changed while it was read.\n"), std::wstring::npos)
      << std::string(changed.run.out.begin(), changed.run.out.end());
  EXPECT_EQ(changed.files.count(GetParam().target), 0u) << "rebuilt from what it named";
}

// A piece swapped for a link to a copy of it elsewhere after its link check,
// before its open: the open does not follow it.
TEST_P(JoinFaultWalkTest, PieceSwappedForALinkAfterItsCheckIsNotFollowed) {
  if (GetParam().withoutDigest || GetParam().directWritesRefused)
    GTEST_SKIP() << "the same with a digest file and writes past the cache";
  if (windowsPlatform()) GTEST_SKIP() << "Windows tells a link by its name alone (isLink)";
  // At the first open after the second piece's link check (the second name
  // query): that piece's.
  bool swapped = false;
  const Walk walked = walk({{FaultPoint::open, 0, 0, SIZE_MAX, [&swapped] {
                               if (swapped || hooks::faultCalls(FaultPoint::nameStatus) != 2)
                                 return;
                               swapped = true;
                               const fs::path piece = fs::current_path() / "parts" / "in.bin_2";
                               fs::rename(piece, fs::current_path() / "elsewhere");
                               fs::create_symlink("../elsewhere", piece);
                             }}});
  ASSERT_TRUE(swapped);
  EXPECT_EQ(walked.run.exitCode, join_exit::kPieceMissing);
  EXPECT_NE(walked.run.out.find(L"The piece \"parts/in.bin_2\" is not a file.\n"),
            std::wstring::npos)
      << std::string(walked.run.out.begin(), walked.run.out.end());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, JoinFaultWalkTest,
    ::testing::Values(JoinShape{"BesideTheScript",
                                {L"parts/in.bat"},
                                "parts/in.bin",
                                join_exit::kSuccess,
                                false,
                                {L"parts/"}},
                      JoinShape{"IntoANewNestedFolder",
                                {L"parts/in.bat", L"out/deep"},
                                "out/deep/in.bin",
                                join_exit::kSuccess,
                                false,
                                {L"out/deep", L"out", L"."}},
                      JoinShape{
                          "CheckOnly", {L"--check", L"parts"}, "parts/in.bin", join_exit::kSuccess},
                      JoinShape{"WithoutDigestFile",
                                {L"--unverified", L"parts"},
                                "parts/in.bin",
                                join_exit::kUnverified,
                                true,
                                {shownAsJoined(L"parts/")}},
                      JoinShape{"DirectWritesRefused",
                                {L"parts/in.bat"},
                                "parts/in.bin",
                                join_exit::kSuccess,
                                false,
                                {},
                                true}),
    [](const auto& info) { return std::string(info.param.name); });

// The user's interrupt at a step of a join whose rebuilt file is written
// under a temporary name (as where the file system has no unnamed files):
// before the naming, the run ends with its own code and one line, on
// standard error, and leaves neither its temporary file nor anything under
// the final name; after it, or for a signal the process started with
// ignored, the run finishes and the file is whole under its name. A
// temporary file or folder that cannot be removed is told on the line after.
struct JoinInterrupt {
  const char* name;
  FaultPoint point;  // the interrupt comes just before this call
  unsigned call;
  int signal;    // raised then (Windows, which has none: the routine's own call for SIGINT)
  bool ignored;  // the signal ignored from the process's start
  int exitCode;
  int removal = 0;           // the errno value the temporary file's removal fails with
  unsigned removalCall = 0;  // at that call of the removal (file, then folder); 0: at every one
  bool left = false;         // the temporary file or its folder stays, and is told
};

void PrintTo(const JoinInterrupt& c, std::ostream* out) { *out << c.name; }

// SIGHUP's number on POSIX systems; Windows declares none (its rows skip).
constexpr int kHangup = 1;

// The lines after the settings and the dots, whole.
std::string errorsOf(const JoinInterrupt& c) {
  if (c.exitCode == join_exit::kSuccess)
    return "\\.\n\".*in\\.bin\" was rebuilt and matches \".*in\\.md5\"\\.\n$";
  if (!c.left) return "\\.\nInterrupted\\.\n$";
  return "\\.\nInterrupted\\.\n\".*filejoin-.*\\.tmp.*\" is left from this run and may be "
         "removed\\.\n$";
}

// The death test's child: the join of parts/in.bat, interrupted as `c`
// says, all its lines on standard error, in the order written. The interrupt comes
// on a thread of its own, as the user's does, so that the thread checks
// see the naming and the interrupt meet: a real signal, which the watcher
// takes; on Windows the control routine, which the system runs on a new
// thread.
int interruptedJoin(const JoinInterrupt& c) {
  static int raised;
  raised = windowsPlatform() ? 0 : c.signal;
  // Windows always writes under a temporary name.
  if (!windowsPlatform())
    hooks::injectFault({FaultPoint::pendingCreation, 1, EOPNOTSUPP, SIZE_MAX, {}});
  if (c.ignored) (void)std::signal(c.signal, SIG_IGN);
  hooks::injectFault({c.point, c.call, 0, SIZE_MAX, [] {
                        if (raised == 0)
                          std::thread(hooks::interrupt).detach();
                        else
                          (void)std::raise(raised);
                        // Time for the interrupt to end the run, on a loaded
                        // machine too: the run ends it sooner.
                        std::this_thread::sleep_for(std::chrono::milliseconds(500));
                      }});
  if (c.removal != 0)
    hooks::injectFault({FaultPoint::pendingRemoval, c.removalCall, c.removal, SIZE_MAX, {}});
  const wchar_t* const argv[] = {L"filejoin", L"parts/in.bat", nullptr};
  // Not the tool's console, whose writes the seam would count among the calls.
  return runJoinFrontEnd(2, argv, std::wcerr, std::wcerr, std::locale::classic());
}

class JoinInterruptDeathTest : public ::testing::TestWithParam<JoinInterrupt> {};

TEST_P(JoinInterruptDeathTest, EndsWithItsCodeAndLeavesAWholeFileOrNone) {
  const JoinInterrupt& c = GetParam();
  if (!fault_walk::seamPresent()) GTEST_SKIP() << "no fault injection in this build";
  if (windowsPlatform() && (c.signal != SIGINT || c.ignored))
    GTEST_SKIP() << "no signals here; a Ctrl+C ignored from the start reaches no routine";
  if (windowsPlatform() && c.left && c.removalCall != 0)
    GTEST_SKIP() << "the temporary file has no folder of its own here";
  const std::string input = patternBytes(3 * kMiB + 1, 24);
  const SplitFolder folder(input);
  ASSERT_EQ(folder.split, split_exit::kSuccess);
  EXPECT_EXIT(std::exit(interruptedJoin(c)), ::testing::ExitedWithCode(c.exitCode), errorsOf(c));
  hooks::resetFaults();
  if (windowsPlatform())
    GTEST_SKIP() << "the run's files are checked where the death test's child shares the "
                    "parent's folder (a fork); here it runs in a process of its own";
  size_t left = 0;
  for (const auto& entry : fs::directory_iterator(folder.dir.native() / "parts"))
    left += entry.path().filename().string().rfind("filejoin-", 0) == 0 ? 1 : 0;
  EXPECT_EQ(left, c.left ? 1u : 0u) << "a temporary file left, or one told left gone";
  if (c.exitCode == join_exit::kSuccess)
    EXPECT_TRUE(readFile(folder.dir / L"parts/in.bin") == input) << "not whole under its name";
  else
    EXPECT_FALSE(fs::exists(folder.dir.native() / "parts" / "in.bin")) << "named";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, JoinInterruptDeathTest,
    ::testing::Values(
        JoinInterrupt{"WhileWriting", FaultPoint::write, 2, SIGINT, false, join_exit::kInterrupted},
        JoinInterrupt{"WhileWritingItsFileStays", FaultPoint::write, 2, SIGINT, false,
                      join_exit::kInterrupted, EACCES, 0, true},
        JoinInterrupt{"WhileWritingItsFolderStays", FaultPoint::write, 2, SIGINT, false,
                      join_exit::kInterrupted, EACCES, 2, true},
        // As fusefat says of a folder whose removed file's close is not served yet.
        JoinInterrupt{"WhileWritingItsFolderNotEmptyYet", FaultPoint::write, 2, SIGINT, false,
                      join_exit::kInterrupted, EPERM, 2},
        // The folder's flush comes after the naming.
        JoinInterrupt{"AfterTheNaming", FaultPoint::folderFlush, 1, SIGINT, false,
                      join_exit::kSuccess},
        JoinInterrupt{"Sigterm", FaultPoint::write, 2, SIGTERM, false, join_exit::kInterrupted},
        JoinInterrupt{"Sighup", FaultPoint::write, 2, kHangup, false, join_exit::kInterrupted},
        JoinInterrupt{"IgnoredSigint", FaultPoint::write, 2, SIGINT, true, join_exit::kSuccess},
        JoinInterrupt{"IgnoredSigterm", FaultPoint::write, 2, SIGTERM, true, join_exit::kSuccess},
        JoinInterrupt{"IgnoredSighup", FaultPoint::write, 2, kHangup, true, join_exit::kSuccess}),
    [](const auto& info) { return std::string(info.param.name); });

// Between the interrupt's handler and the process's end the run's threads
// go on, and the run's file, let go, fails under them or is written whole:
// the interrupt's line stays the last, and nothing is created or named.
struct AfterTheInterrupt {
  const char* name;
  fault_walk::Naming naming;
  bool directWritesRefused;
  FaultPoint point;  // the interrupt comes just before this call
  unsigned call;
};

void PrintTo(const AfterTheInterrupt& c, std::ostream* out) { *out << c.name; }

class JoinAfterTheInterruptTest : public ::testing::TestWithParam<AfterTheInterrupt> {};

TEST_P(JoinAfterTheInterruptTest, NothingMoreIsToldCreatedOrNamed) {
  const AfterTheInterrupt& c = GetParam();
  if (!fault_walk::seamPresent()) GTEST_SKIP() << "no fault injection in this build";
  const std::string input = patternBytes(3 * kMiB + 1, 25);
  const SplitFolder folder(input);
  ASSERT_EQ(folder.split, split_exit::kSuccess);
  if (!fault_walk::takeNaming(c.naming)) GTEST_SKIP() << "no such naming here";
  if (c.directWritesRefused)
    hooks::injectFault({FaultPoint::mediumWrites, 0, EINVAL, SIZE_MAX, {}});
  static int code;
  code = -1;
  hooks::injectFault({c.point, c.call, 0, SIZE_MAX, [] { code = hooks::interruptAndGoOn(); }});
  const InProcessRun run = runJoinInProcess({L"parts/in.bat"});
  hooks::resetFaults();
  EXPECT_EQ(code, join_exit::kInterrupted);
  const std::string out(run.out.begin(), run.out.end());
  const std::string last = "\nInterrupted.\n";  // the one line after the settings and dots
  EXPECT_TRUE(out.size() >= last.size() && out.find(last) == out.size() - last.size()) << out;
  for (const auto& entry : fs::directory_iterator(folder.dir.native() / "parts"))
    EXPECT_FALSE(fault_walk::startsWith(entry.path().filename().string(), "filejoin-"))
        << entry.path();
  EXPECT_FALSE(fs::exists(folder.dir.native() / "parts" / "in.bin")) << "named";
}

using fault_walk::Naming;

INSTANTIATE_TEST_SUITE_P(
    Ways, JoinAfterTheInterruptTest,
    ::testing::Values(
        AfterTheInterrupt{"OwnPastTheCache", Naming::own, false, FaultPoint::write, 2},
        AfterTheInterrupt{"OwnThroughTheCache", Naming::own, true, FaultPoint::write, 2},
        AfterTheInterrupt{"RenamedPastTheCache", Naming::renamed, false, FaultPoint::write, 2},
        AfterTheInterrupt{"RenamedThroughTheCache", Naming::renamed, true, FaultPoint::write, 2},
        AfterTheInterrupt{"ReservedThroughTheCache", Naming::reserved, true, FaultPoint::write, 2},
        // The room on the medium is measured before the file is created.
        AfterTheInterrupt{"BeforeTheFile", Naming::own, false, FaultPoint::freeSpace, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// An interrupt while the other side is inside a region its lock keeps
// whole: the creation or the naming of the rebuilt file, the printing of a
// failure line, the interrupt's handler against a job that ends meanwhile.
// The region is held open until the other side has been started and given
// half a second: the other side waits, and the run ends one of the two
// allowed ways, 12 with nothing left or 0 with the exact file, lines whole.
enum class Held { call, failureLine, handler };

struct LockedRegion {
  const char* name;
  Held held;
  FaultPoint point;  // the call held (Held::call) or failed with EIO (Held::failureLine)
  unsigned call;
  int interruptCode;  // what the interrupt's handler answers
};

void PrintTo(const LockedRegion& c, std::ostream* out) { *out << c.name; }

// A side started on a thread of its own while the caller holds a region.
class OtherSide {
 public:
  ~OtherSide() { finish(); }
  /// Starts `side` and waits for it to finish, half a second at most.
  void startAndWait(const std::function<void()>& side) {
    thread_ = std::thread([this, side] {
      side();
      const std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
      ended_.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex_);
    finishedWhileHeld =
        ended_.wait_for(lock, std::chrono::milliseconds(500), [this] { return finished_; });
  }
  /// Waits for the side to end.
  void finish() {
    if (thread_.joinable()) thread_.join();
  }
  bool finishedWhileHeld = false;  // it did not wait for the region

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool finished_ = false;
  std::thread thread_;
};

// A stream that holds the printing of the first line starting with
// `marker` open, mid-line, while `hold` runs.
class HeldLineBuffer : public std::wstreambuf {
 public:
  HeldLineBuffer(std::wstring marker, std::function<void()> hold)
      : marker_(std::move(marker)), hold_(std::move(hold)) {}
  std::wstring text;

 protected:
  std::streamsize xsputn(const wchar_t* s, std::streamsize n) override {
    text.append(s, static_cast<size_t>(n));
    if (!held_ && text.find(L"\n" + marker_) != std::wstring::npos) {
      held_ = true;
      hold_();
    }
    return n;
  }
  int_type overflow(int_type c) override {
    const wchar_t one = traits_type::to_char_type(c);
    if (c != traits_type::eof()) xsputn(&one, 1);
    return traits_type::not_eof(c);
  }

 private:
  const std::wstring marker_;
  const std::function<void()> hold_;
  bool held_ = false;
};

class JoinLockedRegionTest : public ::testing::TestWithParam<LockedRegion> {
 protected:
  void TearDown() override { hooks::resetFaults(); }
  Deadline deadline_{std::chrono::seconds(30)};
};

TEST_P(JoinLockedRegionTest, TheOtherSideWaitsAndTheRunEndsAnAllowedWay) {
  const LockedRegion& c = GetParam();
  if (!fault_walk::seamPresent()) GTEST_SKIP() << "no fault injection in this build";
  OtherSide side;
  if (c.held == Held::handler) {
    // A job ending while its handler runs replaces the handler (~JoinJob).
    platform::onInterrupt([&side] {
      side.startAndWait([] { platform::onInterrupt([] { return platform::kInterruptTooLate; }); });
      return platform::kInterruptTooLate;
    });
    hooks::interrupt();
    side.finish();
    platform::onInterrupt(nullptr);
    EXPECT_FALSE(side.finishedWhileHeld) << "the handler was replaced while it ran";
    return;
  }
  const std::string input = patternBytes(3 * kMiB + 1, 26);
  const SplitFolder folder(input);
  ASSERT_EQ(folder.split, split_exit::kSuccess);
  int code = -1;
  const std::function<void()> interruptMeanwhile = [&] {
    side.startAndWait([&code] { code = hooks::interruptAndGoOn(); });
  };
  const bool line = c.held == Held::failureLine;
  hooks::injectFault(
      {c.point, c.call, line ? EIO : 0, SIZE_MAX, line ? nullptr : interruptMeanwhile});
  HeldLineBuffer printed(
      L"Cannot write ", line ? interruptMeanwhile : [] {});
  std::wostream out(&printed);
  const wchar_t* const argv[] = {L"filejoin", L"parts/in.bat", nullptr};
  const int exitCode = runJoinFrontEnd(2, argv, out, std::locale::classic());
  side.finish();
  hooks::resetFaults();
  EXPECT_FALSE(side.finishedWhileHeld) << "the interrupt did not wait";
  EXPECT_EQ(code, c.interruptCode);
  const bool tooLate = code == platform::kInterruptTooLate;
  if (tooLate) {
    EXPECT_EQ(exitCode, join_exit::kSuccess);
  }
  const std::wstring last = tooLate
                                ? L"\n\"parts/in.bin\" was rebuilt and matches \"parts/in.md5\".\n"
                                : L"\nInterrupted.\n";
  const std::wstring& text = printed.text;
  EXPECT_TRUE(text.size() >= last.size() && text.find(last) == text.size() - last.size())
      << std::string(text.begin(), text.end());
  EXPECT_EQ(fs::exists(folder.dir.native() / "parts" / "in.bin"), tooLate) << "named";
  if (tooLate) {
    EXPECT_TRUE(readFile(folder.dir / L"parts/in.bin") == input) << "not the exact file";
  }
  for (const auto& entry : fs::directory_iterator(folder.dir.native() / "parts"))
    EXPECT_FALSE(fault_walk::startsWith(entry.path().filename().string(), "filejoin-"))
        << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Regions, JoinLockedRegionTest,
    ::testing::Values(LockedRegion{"Creation", Held::call, FaultPoint::pendingCreation, 1,
                                   join_exit::kInterrupted},
                      LockedRegion{"Naming", Held::call, FaultPoint::rename, 1,
                                   platform::kInterruptTooLate},
                      LockedRegion{"FailureLine", Held::failureLine, FaultPoint::write, 2,
                                   join_exit::kInterrupted},
                      LockedRegion{"HandlerCall", Held::handler, FaultPoint::count, 0,
                                   platform::kInterruptTooLate}),
    [](const auto& info) { return std::string(info.param.name); });

// A folder that changes between the steps: whatever takes the final name or
// the temporary one meanwhile, a file under the final name is never
// anything but the verified bytes, and nothing of someone else's is replaced.
TEST(JoinRenameTest, FolderChangingBetweenTheStepsNeverGivesTheFinalNameOtherBytes) {
  if (!fault_walk::seamPresent()) GTEST_SKIP() << "no fault injection in this build";
  const std::string input = patternBytes(2 * kMiB + 1, 22);
  // The calls of a join of two pieces and a half, without unnamed files:
  // the temporary file's creation after the pieces' and the script's opens;
  // the final name's reservation after four more opens, and the check of it
  // after the temporary name's.
  constexpr unsigned kTemporaryOpen = 8, kReservationOpen = 13, kReservationCheck = 3;
  // What someone else puts there: a file under the final name, files in
  // place of the temporary names in the folder, or a file under the name
  // the first temporary folder is to have.
  enum class Taken { finalName, temporaryNames, temporaryFolderName };
  struct Change {
    FaultPoint point;  // the step before which the folder changes
    unsigned call;
    Taken taken;
    bool withoutUnnamedFiles = false;  // as on vfat: a temporary name is used
    // As on FAT under FUSE: no rename that keeps the target, and no links
    // (the first rename fails so); the final name is reserved first.
    bool withoutNoReplace = false;
    int error = 0;                // the step then fails so
    const char* theirs = "EVIL";  // the bytes of someone else's files
  };
  using T = Taken;
  for (const Change change :
       {Change{FaultPoint::rename, 1, T::finalName},
        Change{FaultPoint::rename, 1, T::temporaryNames},
        Change{FaultPoint::pendingCreation, 1, T::finalName},
        Change{FaultPoint::nameStatus, 1, T::finalName},
        Change{FaultPoint::rename, 1, T::finalName, true},
        Change{FaultPoint::rename, 1, T::temporaryNames, true},
        Change{FaultPoint::rename, 2, T::temporaryNames, true, true},
        Change{FaultPoint::rename, 1, T::finalName, true, true},
        Change{FaultPoint::textConversion, 1000, T::temporaryNames, true, true},
        // An empty file of someone else's is no reservation of ours.
        Change{FaultPoint::rename, 1, T::finalName, true, true, 0, ""},
        // Between the reservation and its check: written into.
        Change{FaultPoint::nameStatus, kReservationCheck, T::finalName, true, true},
        // Between the reservation and the check of the temporary name.
        Change{FaultPoint::open, kReservationOpen, T::temporaryNames, true, true},
        // Taken before the folder is made: the next name is used.
        Change{FaultPoint::pendingCreation, 2, T::temporaryFolderName, true},
        // The temporary file cannot be created in the folder made for it.
        Change{FaultPoint::open, kTemporaryOpen, T::temporaryNames, true, false, EIO}}) {
    SCOPED_TRACE(static_cast<int>(change.point) * 10000 + change.call * 1000 +
                 static_cast<int>(change.taken) * 100 + change.withoutUnnamedFiles * 10 +
                 change.withoutNoReplace);
#ifdef _WIN32
    // Windows always writes under a temporary name, and renames without
    // replacing: the other changes cover it.
    if (change.withoutUnnamedFiles) continue;
#endif
    const SplitFolder folder(input);
    const TempDir& dir = folder.dir;
    ASSERT_EQ(folder.split, split_exit::kSuccess);
    hooks::injectFault({change.point, change.call, change.error, SIZE_MAX, [&] {
                          if (change.taken == T::finalName) {
                            writeFile(dir / L"parts/in.bin", change.theirs);
                            return;
                          }
                          if (change.taken == T::temporaryFolderName) {
                            writeFile(dir / (L"parts/filejoin-" +
                                             std::to_wstring(platform::processNumber()) + L".tmp"),
                                      change.theirs);
                            return;
                          }
                          // Where the open file keeps its name (Windows) it stays ours.
                          std::error_code held;
                          for (const auto& entry : fs::directory_iterator(dir.native() / "parts")) {
                            if (entry.path().filename().string().rfind("filejoin-", 0) != 0)
                              continue;
                            // Its own folder holds it where it has one.
                            const fs::path file =
                                entry.is_directory() ? entry.path() / "in.bin" : entry.path();
                            if (fs::remove(file, held)) writeFile(file.wstring(), change.theirs);
                          }
                        }});
    if (change.withoutUnnamedFiles)
      hooks::injectFault({FaultPoint::pendingCreation, 1, EOPNOTSUPP, SIZE_MAX, {}});
    if (change.withoutNoReplace) hooks::injectFault({FaultPoint::rename, 1, EPERM, SIZE_MAX, {}});
    const InProcessRun run = runJoinInProcess({L"parts/in.bat"});
    hooks::resetFaults();
    const bool isNamed = fs::exists(dir.native() / "parts" / "in.bin");
    const std::string named = isNamed ? readFile(dir / L"parts/in.bin") : std::string();
    if (change.taken == T::finalName) {
      EXPECT_EQ(run.exitCode, join_exit::kOutputExists);
      EXPECT_EQ(named, change.theirs) << "someone else's file was replaced";
    } else {
      EXPECT_TRUE(run.exitCode == join_exit::kSuccess
                      ? named == input
                      : run.exitCode == join_exit::kFailed && !isNamed)
          << run.exitCode;
    }
    if (change.taken == T::temporaryFolderName) {
      EXPECT_EQ(run.exitCode, join_exit::kSuccess);
    }
    // A name taken over is told so, not as the rename's failure.
    if (change.taken == T::temporaryNames && change.error == 0 &&
        run.exitCode != join_exit::kSuccess) {
      EXPECT_NE(run.out.find(L"was taken over by another file"), std::wstring::npos)
          << std::string(run.out.begin(), run.out.end());
    }
    if (run.exitCode == join_exit::kSuccess) {
      EXPECT_TRUE(named == input);
    }
    // Nothing of the run's own is left, neither its temporary file nor the
    // folder that held it; someone else's file stays where it was put.
    for (const auto& entry : fs::recursive_directory_iterator(dir.native() / "parts")) {
      const std::string name = entry.path().filename().string();
      const std::string above = entry.path().parent_path().filename().string();
      if (entry.is_directory() && name.rfind("filejoin-", 0) == 0) {
        EXPECT_FALSE(fs::is_empty(entry.path())) << "an empty temporary folder is left";
      } else if (name.rfind("filejoin-", 0) == 0 || above.rfind("filejoin-", 0) == 0) {
        EXPECT_EQ(readFile(entry.path().wstring()), change.theirs) << entry.path();
      }
    }
    EXPECT_EQ(run.out.find(L"is left from this run"), std::wstring::npos)
        << std::string(run.out.begin(), run.out.end());
  }
}

// One failure of the rebuild's last steps each: its exit code, its line
// (the file's name as it then stands and the system's reason), and the final
// name left free, or, for a close after naming, holding the verified bytes.
struct LastStepCase {
  const char* name;
  FaultPoint point;
  bool lastCall;  // the point's last call in a clean run, else its first
  int error;
  int exitCode;
  std::wstring lineStart;
  std::wstring lineEnd;
  bool named;  // the file had its final name when the step failed
};

void PrintTo(const LastStepCase& c, std::ostream* out) { *out << c.name; }

class JoinLastStepTest : public ::testing::TestWithParam<std::tuple<LastStepCase, Naming>> {};

// `out` without the line that tells a temporary file left (Windows keeps one).
std::wstring withoutLeftLine(const std::wstring& out) {
  const size_t left = out.find(L" is left from this run and may be removed.\n");
  if (left == std::wstring::npos) return out;
  const size_t start = out.rfind(L'\n', left) + 1;
  return out.substr(0, start) + out.substr(out.find(L'\n', left) + 1);
}

TEST_P(JoinLastStepTest, FailsWithItsCodeAndLineAndNoFinalName) {
  if (!fault_walk::seamPresent()) GTEST_SKIP() << "no fault injection in this build";
  const auto& [c, naming] = GetParam();
  const std::string input = patternBytes(2 * kMiB + 1, 23);
  unsigned call = 1;
  for (const bool failing : {false, true}) {
    const SplitFolder folder(input);
    const TempDir& dir = folder.dir;
    ASSERT_EQ(folder.split, split_exit::kSuccess);
    if (!fault_walk::takeNaming(naming)) GTEST_SKIP() << "no such way to name a file here";
    if (failing) hooks::injectFault({c.point, call, c.error, SIZE_MAX, {}});
    const InProcessRun run = runJoinInProcess({L"parts/in.bat"});
    if (!failing && c.lastCall) call = hooks::faultCalls(c.point);
    hooks::resetFaults();
    if (!failing) continue;
    EXPECT_EQ(run.exitCode, c.exitCode);
    const std::wstring head =
        join_texts::settings(L"parts/in.bat") + join_texts::kJoining + L"\n...\n";
    const std::wstring out = withoutLeftLine(run.out);
    const std::wstring tail = c.lineEnd + L"\n";
    EXPECT_EQ(out.compare(0, head.size() + c.lineStart.size(), head + c.lineStart), 0) << out;
    EXPECT_TRUE(out.size() >= tail.size() &&
                out.compare(out.size() - tail.size(), tail.size(), tail) == 0)
        << out;
    const bool isNamed = fs::exists(dir.native() / "parts" / "in.bin");
    EXPECT_EQ(isNamed, c.named) << "the final name";
    if (isNamed) {
      EXPECT_TRUE(readFile(dir / L"parts/in.bin") == input);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, JoinLastStepTest,
    ::testing::Combine(
        ::testing::Values(
            LastStepCase{"OutputCloseFails", FaultPoint::close, true, EIO, join_exit::kFailed,
                         L"Cannot write \"parts/in.bin\": ", platform::systemErrorText(EIO), true},
            // The naming's last call: the link, the rename, or the rename
            // onto the reservation.
            LastStepCase{"NamingFailsWithEio", FaultPoint::rename, true, EIO, join_exit::kFailed,
                         L"Cannot ", L"\"parts/in.bin\": " + platform::systemErrorText(EIO), false},
            LastStepCase{"NamingFindsTheNameTaken", FaultPoint::rename, true, EEXIST,
                         join_exit::kOutputExists, L"\"parts/in.bin\" exists already.", L"",
                         false}),
        ::testing::Values(Naming::own, Naming::renamed, Naming::reserved)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) +
             fault_walk::nameOf(std::get<1>(info.param));
    });

}  // namespace
