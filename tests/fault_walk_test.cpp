// Every call of a split failed in turn, and every transfer cut short, on
// other shapes than the exact table: whatever fails, each file left behind
// is the start of what a clean run writes, the input is unchanged, exactly
// one line tells the failure, and a run that says 0 wrote everything.
#include "fault_walk.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "in_process.h"
#include "platform/test_hooks.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"
#include "texts/split_texts.h"

namespace hooks = platform_test_hooks;
using platform::FaultPoint;

namespace {

struct WalkShape {
  const char* name;
  uint64_t inputSize;
  std::vector<std::wstring> arguments;  // after the input's name
  // The file system refuses writes past the cache: the pieces go through
  // it, each block's write-back started and, 8 MiB on, waited for.
  bool directWritesRefused = false;
};

void PrintTo(const WalkShape& shape, std::ostream* out) { *out << shape.name; }

using fault_walk::Walk;

// The split's own: the MD5 provider's calls and the queries of the fit check.
const std::vector<FaultPoint> kPoints = fault_walk::fileCallsAnd(
    {FaultPoint::providerOpen, FaultPoint::providerProperty, FaultPoint::hashCreation,
     FaultPoint::hashData, FaultPoint::hashFinish, FaultPoint::hashDestruction,
     FaultPoint::providerClose, FaultPoint::freeSpace, FaultPoint::fileSystemType,
     FaultPoint::mediumWrites, FaultPoint::cacheQuery, FaultPoint::threadStart});

// Calls whose failure the split rides out: the input's close (nothing was
// written to it), the queries of the check that it fits, and the choice of
// the way past the cache, whose refusal leaves the way through it.
bool riddenOut(FaultPoint point) {
  return point == FaultPoint::close || point == FaultPoint::freeSpace ||
         point == FaultPoint::fileSystemType || point == FaultPoint::mediumWrites ||
         point == FaultPoint::cacheQuery;
}

// The points walked. With writes past the cache refused, the writes and
// their write-back alone, the calls that go the other way then: the other
// calls are those of the shapes that take the way past the cache.
std::vector<FaultPoint> pointsOf(const WalkShape& shape) {
  if (shape.directWritesRefused) return {FaultPoint::write, FaultPoint::writeBack};
  return kPoints;
}

class FaultWalkTest : public ::testing::TestWithParam<WalkShape> {
 protected:
  void SetUp() override {
    if (!fault_walk::seamPresent()) GTEST_SKIP() << "no fault injection in this build";
    if (GetParam().directWritesRefused && !piecesPastTheCache())
      GTEST_SKIP() << "the pieces go through the cache here in every shape";
    input = patternBytes(GetParam().inputSize, 11);
    clean = walk({});
    ASSERT_EQ(clean.run.exitCode, split_exit::kSuccess);
  }

  void TearDown() override { hooks::resetFaults(); }

  // One split with `faults` planned, in a fresh folder holding the input.
  Walk walk(std::vector<hooks::Fault> faults) {
    if (GetParam().directWritesRefused)
      faults.push_back({FaultPoint::mediumWrites, 0, EINVAL, SIZE_MAX, {}});
    TempDir dir;
    writeFile(dir / L"in.bin", input);
    std::vector<std::wstring> arguments{L"in.bin"};
    arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    return fault_walk::walkOnce(faults, points, dir.wide(), [&] {
      const CurrentFolder inside(dir.wide());
      return runInProcess(arguments);
    });
  }

  void expectNothingLostOrCorrupted(const Walk& failed);
  void expectOneLineThenUsage(const std::wstring& out);

  const std::vector<FaultPoint> points = pointsOf(GetParam());
  std::string input;
  Walk clean;
};

void FaultWalkTest::expectOneLineThenUsage(const std::wstring& out) {
  const std::wstring usage = split_texts::usage(L"filesplit");
  const size_t header = out.find(L"Dividing.....\n");
  ASSERT_NE(header, std::wstring::npos) << "the settings were printed";
  ASSERT_GE(out.size(), header + 14 + usage.size());
  ASSERT_EQ(out.substr(out.size() - usage.size()), usage);
  std::wstring rest = out.substr(header + 14, out.size() - usage.size() - header - 14);
  rest.erase(0, rest.find_first_not_of(L'.'));
  EXPECT_LE(std::count(rest.begin(), rest.end(), L'\n'), 1) << "one line tells the failure";
}

void FaultWalkTest::expectNothingLostOrCorrupted(const Walk& failed) {
  EXPECT_TRUE(failed.ended) << "the run did not end by itself";
  if (failed.run.exitCode == split_exit::kSuccess) {
    EXPECT_TRUE(failed.files == clean.files) << "a run that says 0 left other files";
    return;
  }
  expectOneLineThenUsage(failed.run.out);
  EXPECT_TRUE(failed.files.at("in.bin") == input) << "the input was changed";
  for (const auto& [path, bytes] : failed.files) {
    const auto written = clean.files.find(path);
    ASSERT_NE(written, clean.files.end()) << path << " is no output of a clean run";
    EXPECT_TRUE(fault_walk::startsWith(written->second, bytes))
        << path << " is not the start of its content";
  }
}

TEST_P(FaultWalkTest, EveryFailureLeavesOnlyTheStartOfTheOutputs) {
  fault_walk::forEachCall(clean.calls, [&](size_t p, unsigned call) {
    const Walk failed = walk({{points[p], call, EIO, SIZE_MAX, {}}});
    if (failed.run.exitCode == split_exit::kSuccess) {
      EXPECT_TRUE(riddenOut(points[p]));
    }
    if (fault_walk::mustBeRiddenOut(points[p], call, clean.calls[p])) {
      EXPECT_EQ(failed.run.exitCode, split_exit::kSuccess);
    }
    expectNothingLostOrCorrupted(failed);
  });
}

TEST_P(FaultWalkTest, EveryShortTransferIsMadeUp) {
  fault_walk::forEachCall(clean.calls, [&](size_t p, unsigned call) {
    if (points[p] != FaultPoint::read && points[p] != FaultPoint::write) return;
    const Walk shortened = walk({{points[p], call, 0, 1, {}}});
    EXPECT_EQ(shortened.run.exitCode, split_exit::kSuccess) << shortened.run.out;
    expectNothingLostOrCorrupted(shortened);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, FaultWalkTest,
    ::testing::Values(
        WalkShape{"TwoBlockPiecesInTheDefaultFolder", 5 * kMiB + 7, {L"2"}},
        WalkShape{"OnePieceInANewNestedFolder", kMiB, {L"1", L"out/deep"}},
        WalkShape{"ManySmallPieces", 12 * kMiB + 1, {L"1", L"."}},
        WalkShape{"PiecePastTheWriteBackWindowDirectWritesRefused", 9 * kMiB + 7, {L"9"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
