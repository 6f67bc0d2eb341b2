// Every call of a join failed in turn, and every transfer cut short: the
// final name appears only when the run succeeded, a temporary file left
// behind holds the start of the right bytes, nothing else is written or
// changed, exactly one line tells the failure, and the run ends.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "in_process.h"
#include "platform/test_hooks.h"
#include "platform_facts.h"
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
    FaultPoint::fileStatus, FaultPoint::fileSize, FaultPoint::folderCreation, FaultPoint::rename,
    FaultPoint::flush,      FaultPoint::cacheDrop, FaultPoint::folderFlush};

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
    if (runInProcess({L"in.bin", L"1", L"parts"}).exitCode != 0) ADD_FAILURE() << "split failed";
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

  void expectNothingLostOrCorrupted(const Walk& failed);

  std::string input;
  std::map<std::string, std::string> before;  // of the last walk
  Walk clean;
  std::vector<unsigned> calls;  // per point of kPoints, in a clean run
};

void JoinFaultWalkTest::expectNothingLostOrCorrupted(const Walk& failed) {
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
      if (kPoints[p] == FaultPoint::folderFlush) {
        // After the final name: the file is whole, the run still fails.
        EXPECT_EQ(failed.run.exitCode, 1);
        EXPECT_TRUE(failed.files.at(GetParam().target) == input);
        continue;
      }
      // Only closing what was read may fail unnoticed.
      if (failed.run.exitCode == GetParam().cleanExit) {
        EXPECT_EQ(kPoints[p], FaultPoint::close);
      }
      expectNothingLostOrCorrupted(failed);
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
    EXPECT_EQ(changed.run.exitCode, 1);
    EXPECT_NE(changed.run.out.find(L"in.bin_2\" changed while it was read.\n"), std::wstring::npos)
        << std::string(changed.run.out.begin(), changed.run.out.end());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, JoinFaultWalkTest,
    ::testing::Values(
        JoinShape{"BesideTheScript", {L"parts/in.bat"}, "parts/in.bin", 0},
        JoinShape{"IntoANewNestedFolder", {L"parts/in.bat", L"out/deep"}, "out/deep/in.bin", 0},
        JoinShape{"CheckOnly", {L"--check", L"parts"}, "parts/in.bin", 0},
        JoinShape{"WithoutDigestFile", {L"parts"}, "parts/in.bin", 11, true}),
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
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, 0);
  hooks::resetFaults();
  hooks::injectFault({FaultPoint::rename, 1, 0, SIZE_MAX,
                      [&] { writeFile(dir / L"parts/in.bin", "someone else's"); }});
  const InProcessRun run = runJoinInProcess({L"parts/in.bat"});
  hooks::resetFaults();
  EXPECT_EQ(run.exitCode, 8);
  EXPECT_EQ(run.out,
            L"Script: parts/in.bat\nJoining.....\n...\n\"parts/in.bin\" exists already; "
            L"the rebuilt bytes stay in \"parts/in.bin.filejoin-tmp\".\n" +
                joinUsageText());
  EXPECT_EQ(readFile(dir / L"parts/in.bin"), "someone else's");
  EXPECT_TRUE(readFile(dir / L"parts/in.bin.filejoin-tmp") == input);
}

}  // namespace
