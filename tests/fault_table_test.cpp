// Every call a split of four pieces makes at the fault seam, failed one at a
// time, run in-process: the exit code, the exact output, the files left
// behind with their sizes, the input unchanged, and a run that ended. The
// rows are in split_*_faults.cpp, by subject.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "allocation_limit.h"
#include "in_process.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "split_fault_rows.h"
#include "temp_dir.h"

using namespace split_fault_rows;

namespace {

constexpr unsigned kCallBudget = 400;  // a clean run makes about 40 calls

std::vector<FaultCase> faultCases() {
  std::vector<FaultCase> cases;
  addFileCallCases(cases);
  addQueryCases(cases);
  addChangeCases(cases);
  return cases;
}

class FaultTableTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override {
    input = patternBytes(kInputSize, 9);
    writeFile(dir / L"in.bin", input);
    hooks::resetFaults();
  }
  void TearDown() override {
    hooks::resetFaults();
    hooks::fakeDigestLength(0);
    endOtherPrograms();
    takeSkippedRow();
  }
  InProcessRun split() {
    const CurrentFolder inside(dir.wide());
    return runInProcess({L"in.bin", L"1", L"out"});
  }
  TempDir dir;
  std::string input;
};

TEST_P(FaultTableTest, EndsAsPlanned) {
  const FaultCase& c = GetParam();
  for (const auto& fault : c.faults)
    if (!hooks::injectFault(fault)) GTEST_SKIP() << "no fault injection in this build";
  if (c.providerDigestLength != 0 && !hooks::fakeDigestLength(c.providerDigestLength))
    GTEST_SKIP() << "provider not fakeable";
  hooks::setCallBudget(kCallBudget);
  const InProcessRun run = [&] {
    const AllocationLimit memory(c.refusedAllocation);
    return split();
  }();
  if (const char* why = takeSkippedRow()) GTEST_SKIP() << why;
  EXPECT_FALSE(hooks::callBudgetExceeded()) << "the run did not end by itself";
  EXPECT_EQ(run.exitCode, c.exitCode);
  EXPECT_EQ(run.out, expectedOutput(c));
  EXPECT_EQ(listing(dir.wide()), c.files);
  if (c.files.count("in.bin") != 0 && c.files.at("in.bin") == kInputSize) {
    EXPECT_TRUE(readFile(dir / L"in.bin") == input) << "the input was changed";
  }
  if (c.files.count("out/in.bin_1") != 0) {
    const std::string start = input.substr(0, c.files.at("out/in.bin_1"));
    EXPECT_TRUE(readFile(dir / L"out/in.bin_1") == start) << "piece 1 is not the input's start";
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTableTest, ::testing::ValuesIn(faultCases()),
                         [](const auto& info) { return info.param.name; });

// The rows again where the file system refuses writes past the cache: each
// piece goes through it, its write-back started after each block. Not the
// rows of the way past the cache itself, nor on Windows, whose pieces go
// through the cache in the rows above.
std::vector<FaultCase> directWritesRefusedCases() {
  std::vector<FaultCase> cases;
  if (!piecesPastTheCache()) return cases;
  for (FaultCase c : faultCases()) {
    if (std::any_of(c.faults.begin(), c.faults.end(),
                    [](const hooks::Fault& f) { return f.point == FaultPoint::mediumWrites; }))
      continue;
    c.faults.push_back(failingEvery(FaultPoint::mediumWrites, EINVAL));
    cases.push_back(std::move(c));
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(DirectWritesRefused, FaultTableTest,
                         ::testing::ValuesIn(directWritesRefusedCases()),
                         [](const auto& info) { return info.param.name; });

// The clean run makes the calls cleanRunCalls lists, every row names one of
// them, and the table names every one of them with a failure.
TEST_F(FaultTableTest, CoversEveryCallOfACleanRun) {
  if (!hooks::injectFault({FaultPoint::textConversion, 1000, 0, SIZE_MAX, {}}))
    GTEST_SKIP() << "no fault injection in this build";
  ASSERT_EQ(split().exitCode, split_exit::kSuccess);
  const auto cases = faultCases();
  for (const FaultCase& c : cases)
    for (const auto& fault : c.faults) EXPECT_NE(fault.call, kNoSuchCall) << c.name;
  for (const auto& listed : cleanRunCalls()) {
    const FaultPoint point = listed.first;
    const unsigned calls = hooks::faultCalls(point);
    EXPECT_GT(calls, 0u);
    EXPECT_EQ(calls, listed.second.size()) << "calls at point " << static_cast<int>(point);
    for (unsigned call = 1; call <= calls; ++call) {
      const bool covered = std::any_of(cases.begin(), cases.end(), [&](const FaultCase& c) {
        return c.faults.size() == 1 && c.faults[0].point == point && c.faults[0].call == call &&
               c.faults[0].error != 0 && c.faults[0].error != EINTR;
      });
      EXPECT_TRUE(covered) << "call " << call << " at point " << static_cast<int>(point);
    }
  }
}

}  // namespace
