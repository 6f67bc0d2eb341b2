// Every call of a join failed in turn, and every transfer cut short: the
// final name appears only when the run succeeded, a temporary file left
// behind holds the start of the right bytes, nothing else is written or
// changed, exactly one line tells the failure, and the run ends.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "in_process.h"
#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "usage_text.h"

namespace fs = std::filesystem;
namespace hooks = platform_test_hooks;
using platform::FaultPoint;

namespace {

constexpr uint64_t kMiB = 1048576;
constexpr unsigned kCallBudget = 400;

struct JoinShape {
  const char* name;
  std::vector<std::wstring> arguments;
  std::string target;  // where the rebuilt file goes, "/" separated
  int cleanExit;
  bool withoutDigest = false;
};

void PrintTo(const JoinShape& shape, std::ostream* out) { *out << shape.name; }

struct Walk {
  InProcessRun run;
  std::map<std::string, std::string> files;
  bool ended = false;
  std::vector<unsigned> calls;  // per point of kPoints
};

const FaultPoint kPoints[] = {
    FaultPoint::open,       FaultPoint::read,     FaultPoint::write,          FaultPoint::close,
    FaultPoint::fileStatus, FaultPoint::fileSize, FaultPoint::folderCreation, FaultPoint::rename};

bool startsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

class JoinFaultWalkTest : public ::testing::TestWithParam<JoinShape> {
 protected:
  void SetUp() override {
    if (!hooks::injectFault({FaultPoint::textConversion, 1000, 0, SIZE_MAX, {}}))
      GTEST_SKIP() << "no fault injection in this build";
    input = patternBytes(3 * kMiB + 5, 21);
    clean = walk({});
    ASSERT_GT(clean.calls[1], 4u) << "the seam saw the reads";
    ASSERT_EQ(clean.run.exitCode, GetParam().cleanExit)
        << std::string(clean.run.out.begin(), clean.run.out.end());
    calls = clean.calls;
  }

  void TearDown() override { hooks::resetFaults(); }

  // One join with `faults` planned, of a fresh split of the input.
  Walk walk(const std::vector<hooks::Fault>& faults) {
    TempDir dir;
    writeFile(dir / L"in.bin", input);
    const CurrentFolder inside(dir.wide());
    hooks::resetFaults();
    if (runInProcess({L"in.bin", L"1", L"parts"}).exitCode != split_exit::kSuccess)
      ADD_FAILURE() << "split failed";
    if (GetParam().withoutDigest) fs::remove(dir.native() / "parts" / "in.md5");
    before = snapshot(dir.wide());
    hooks::resetFaults();
    for (const auto& fault : faults) hooks::injectFault(fault);
    hooks::setCallBudget(kCallBudget);
    Walk result;
    result.run = runJoinInProcess(GetParam().arguments);
    result.ended = !hooks::callBudgetExceeded();
    for (const FaultPoint point : kPoints) result.calls.push_back(hooks::faultCalls(point));
    hooks::resetFaults();
    result.files = snapshot(dir.wide());
    return result;
  }

  // `failedPoint`: the point whose call failed with EIO; textConversion for
  // none (a transfer cut short).
  void expectNothingLostOrCorrupted(const Walk& failed,
                                    FaultPoint failedPoint = FaultPoint::textConversion);

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
  const std::wstring usage = joinUsageText();
  ASSERT_GE(failed.run.out.size(), usage.size());
  EXPECT_EQ(failed.run.out.substr(failed.run.out.size() - usage.size()), usage);
  const std::wstring said = failed.run.out.substr(0, failed.run.out.size() - usage.size());
  const size_t settings = said.find(L".....\n") + 6;
  std::wstring rest = said.substr(settings);
  rest.erase(0, rest.find_first_not_of(L".\n"));
  EXPECT_EQ(std::count(rest.begin(), rest.end(), L'\n'), 1) << "one line tells the failure";
  // A failed write, close or rename is a failed run, and its line tells the
  // fault's own error (never, say, that a name exists already).
  if (failedPoint == FaultPoint::write || failedPoint == FaultPoint::close ||
      failedPoint == FaultPoint::rename) {
    EXPECT_EQ(failed.run.exitCode, join_exit::kFailed);
    EXPECT_NE(rest.find(L": " + platform::systemErrorText(EIO) + L"\n"), std::wstring::npos)
        << std::string(rest.begin(), rest.end());
  }

  const std::string temporary = GetParam().target + ".filejoin-tmp";
  EXPECT_EQ(failed.files.count(GetParam().target), 0u) << "the final name after a failure";
  for (const auto& [path, bytes] : failed.files) {
    const auto was = before.find(path);
    if (was != before.end()) {
      EXPECT_TRUE(was->second == bytes) << path << " was changed";
    } else if (path == temporary) {
      EXPECT_TRUE(startsWith(input, bytes)) << "the temporary file is not the start of the input";
    } else {
      EXPECT_EQ(bytes, "<dir>") << path << " was written";
    }
  }
}

TEST_P(JoinFaultWalkTest, EveryFailureLeavesOnlyTheStartOfTheRebuiltFile) {
  for (size_t p = 0; p < std::size(kPoints); ++p) {
    for (unsigned call = 1; call <= calls[p]; ++call) {
      SCOPED_TRACE("point " + std::to_string(p) + ", call " + std::to_string(call));
      const Walk failed = walk({{kPoints[p], call, EIO, SIZE_MAX, {}}});
      // Only closing what was read may fail unnoticed.
      if (failed.run.exitCode == GetParam().cleanExit) {
        EXPECT_EQ(kPoints[p], FaultPoint::close);
      }
      expectNothingLostOrCorrupted(failed, kPoints[p]);
    }
  }
}

TEST_P(JoinFaultWalkTest, EveryShortTransferIsMadeUp) {
  for (const size_t p : {1, 2}) {  // read, write
    for (unsigned call = 1; call <= calls[p]; ++call) {
      SCOPED_TRACE("point " + std::to_string(p) + ", call " + std::to_string(call));
      const Walk shortened = walk({{kPoints[p], call, 0, 1, {}}});
      EXPECT_EQ(shortened.run.exitCode, GetParam().cleanExit);
      expectNothingLostOrCorrupted(shortened);
    }
  }
}

TEST_P(JoinFaultWalkTest, PieceThatChangesWhileReadEndsTheRun) {
  if (GetParam().withoutDigest) GTEST_SKIP() << "the same with a digest file";
  for (const int64_t change : {-1, 1}) {
    SCOPED_TRACE(change);
    // After the pieces were measured, before the second of them is read.
    const Walk changed =
        walk({{FaultPoint::open, 4, 0, SIZE_MAX, [change] {
                 const fs::path piece = fs::current_path() / "parts" / "in.bin_2";
                 fs::resize_file(piece, static_cast<uint64_t>(static_cast<int64_t>(kMiB) + change));
               }}});
    EXPECT_EQ(changed.run.exitCode, join_exit::kFailed);
    EXPECT_NE(changed.run.out.find(L"in.bin_2\" changed while it was read.\n"), std::wstring::npos)
        << std::string(changed.run.out.begin(), changed.run.out.end());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, JoinFaultWalkTest,
    ::testing::Values(
        JoinShape{"BesideTheScript", {L"parts/in.bat"}, "parts/in.bin", join_exit::kSuccess},
        JoinShape{"IntoANewNestedFolder",
                  {L"parts/in.bat", L"out/deep"},
                  "out/deep/in.bin",
                  join_exit::kSuccess},
        JoinShape{"CheckOnly", {L"--check", L"parts"}, "parts/in.bin", join_exit::kSuccess},
        JoinShape{"WithoutDigestFile", {L"parts"}, "parts/in.bin", join_exit::kUnverified, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A file that takes the final name while the join runs is never replaced.
TEST(JoinRenameTest, FileTakingTheNameMeanwhileIsKept) {
  if (!hooks::injectFault({FaultPoint::textConversion, 1000, 0, SIZE_MAX, {}}))
    GTEST_SKIP() << "no fault injection in this build";
  TempDir dir;
  const std::string input = patternBytes(2 * kMiB + 1, 22);
  writeFile(dir / L"in.bin", input);
  const CurrentFolder inside(dir.wide());
  hooks::resetFaults();
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, join_exit::kSuccess);
  hooks::resetFaults();
  hooks::injectFault({FaultPoint::rename, 1, 0, SIZE_MAX,
                      [&] { writeFile(dir / L"parts/in.bin", "someone else's"); }});
  const InProcessRun run = runJoinInProcess({L"parts/in.bat"});
  hooks::resetFaults();
  EXPECT_EQ(run.exitCode, join_exit::kOutputExists);
  EXPECT_EQ(run.out,
            L"Script: parts/in.bat\nJoining.....\n...\n\"parts/in.bin\" exists already; "
            L"the rebuilt bytes stay in \"parts/in.bin.filejoin-tmp\".\n" +
                joinUsageText());
  EXPECT_EQ(readFile(dir / L"parts/in.bin"), "someone else's");
  EXPECT_TRUE(readFile(dir / L"parts/in.bin.filejoin-tmp") == input);
}

// One failure of the rebuild's last steps each: its exit code, its line, and
// the rebuilt bytes kept under the temporary name only.
struct LastStepCase {
  const char* name;
  FaultPoint point;
  bool lastCall;  // the point's last call in a clean run, else its first
  int error;
  int exitCode;
  std::wstring line;
};

void PrintTo(const LastStepCase& c, std::ostream* out) { *out << c.name; }

class JoinLastStepTest : public ::testing::TestWithParam<LastStepCase> {};

TEST_P(JoinLastStepTest, FailsWithItsCodeAndLineAndNoFinalName) {
  if (!hooks::injectFault({FaultPoint::textConversion, 1000, 0, SIZE_MAX, {}}))
    GTEST_SKIP() << "no fault injection in this build";
  const LastStepCase& c = GetParam();
  const std::string input = patternBytes(2 * kMiB + 1, 23);
  unsigned call = 1;
  for (const bool failing : {false, true}) {
    TempDir dir;
    writeFile(dir / L"in.bin", input);
    const CurrentFolder inside(dir.wide());
    hooks::resetFaults();
    ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
    hooks::resetFaults();
    if (failing) hooks::injectFault({c.point, call, c.error, SIZE_MAX, {}});
    const InProcessRun run = runJoinInProcess({L"parts/in.bat"});
    if (!failing && c.lastCall) call = hooks::faultCalls(c.point);
    hooks::resetFaults();
    if (!failing) continue;
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.out,
              L"Script: parts/in.bat\nJoining.....\n...\n" + c.line + L"\n" + joinUsageText());
    EXPECT_FALSE(fs::exists(dir.native() / "parts" / "in.bin")) << "the final name was taken";
    EXPECT_TRUE(readFile(dir / L"parts/in.bin.filejoin-tmp") == input);
  }
}

const std::wstring kTemporary = L"\"parts/in.bin.filejoin-tmp\"";

INSTANTIATE_TEST_SUITE_P(
    Failures, JoinLastStepTest,
    ::testing::Values(
        LastStepCase{"OutputCloseFails", FaultPoint::close, true, EIO, join_exit::kFailed,
                     L"Cannot write " + kTemporary + L": " + platform::systemErrorText(EIO)},
        LastStepCase{"RenameFailsWithEio", FaultPoint::rename, false, EIO, join_exit::kFailed,
                     L"Cannot rename " + kTemporary + L" to \"parts/in.bin\": " +
                         platform::systemErrorText(EIO)},
        LastStepCase{
            "RenameFindsTheNameTaken", FaultPoint::rename, false, EEXIST, join_exit::kOutputExists,
            L"\"parts/in.bin\" exists already; the rebuilt bytes stay in " + kTemporary + L"."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
