// What Wine cannot show of the Windows layer, as the layer records its calls
// (platform_test_hooks::recordCalls): the rebuilt file marked for deletion
// from its creation to its naming, its name flushed through its handle
// before the close, a long path's "\\?\" form as it reaches CreateFileW
// and GetFileAttributesW, and how the control routine ends the process.
// Skipped elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "in_process.h"
#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace hooks = platform_test_hooks;

namespace {

struct Recorded {
  const char* name;
  std::function<void()> act;  // in a folder whose parts/ holds a split
  /// Runs of entries that follow one another in the record, in this order
  /// ("X*Y" stands for every entry that begins with X and ends with Y); none:
  /// no entry.
  std::vector<std::vector<std::wstring>> runs;
};

void PrintTo(const Recorded& c, std::ostream* out) { *out << c.name; }

bool matches(const std::wstring& entry, const std::wstring& expected) {
  const size_t star = expected.find(L'*');
  if (star == std::wstring::npos) return entry == expected;
  const size_t endLength = expected.size() - star - 1;
  return entry.size() >= star + endLength && entry.compare(0, star, expected, 0, star) == 0 &&
         entry.compare(entry.size() - endLength, endLength, expected, star + 1) == 0;
}

class WindowsCallsTest : public ::testing::TestWithParam<Recorded> {};

TEST_P(WindowsCallsTest, AreMadeInTheirOrder) {
  std::vector<std::wstring> record;
  if (!hooks::recordCalls(&record))
    GTEST_SKIP() << "these calls are Windows' (and recorded in a build with the seam)";
  hooks::recordCalls(nullptr);
  TempDir dir;
  const CurrentFolder inside(dir.wide());
  writeFile(dir / L"in.bin", patternBytes(2 * kMiB + 5, 41));
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  hooks::recordCalls(&record);
  GetParam().act();
  hooks::recordCalls(nullptr);
  hooks::fakeConsole(std::nullopt);
  for (const auto& run : GetParam().runs)
    EXPECT_NE(std::search(record.begin(), record.end(), run.begin(), run.end(), matches),
              record.end())
        << ::testing::PrintToString(run) << " not in " << ::testing::PrintToString(record);
  if (GetParam().runs.empty()) {
    EXPECT_TRUE(record.empty()) << ::testing::PrintToString(record);
  }
}

// A join into `folder` (below the test's), which ends 0.
std::function<void()> joinInto(const std::wstring& folder) {
  return [folder] {
    EXPECT_EQ(runJoinInProcess({L"parts/in.bat", folder}).exitCode, join_exit::kSuccess);
  };
}

// The rebuilt file's way from its creation as `created` to its name: marked
// at once, the mark cleared just before the rename, and the name flushed
// through the same handle before its close.
std::vector<std::vector<std::wstring>> naming(const std::wstring& created) {
  return {{L"CreateFileW " + created, L"disposition delete"},
          {L"disposition keep", L"rename", L"flush", L"close"}};
}

// The user's interrupt by `event`, answered by `handler`, in the user's
// session or the services'.
std::function<void()> interrupted(const std::function<void()>& event, bool services,
                                  const std::function<int()>& handler) {
  return [=] {
    hooks::fakeConsole(1, true, services);
    platform::onInterrupt(handler, join_exit::kInterrupted);
    event();
    platform::onInterrupt(nullptr);
  };
}

// A split into `folder` (below the test's) and the join of its pieces from
// there into out/, both ending 0.
std::function<void()> splitAndJoinFrom(const std::wstring& folder) {
  return [folder] {
    ASSERT_EQ(runInProcess({L"in.bin", L"1", folder}).exitCode, split_exit::kSuccess);
    EXPECT_EQ(runJoinInProcess({folder + L"\\in.bat", L"out"}).exitCode, join_exit::kSuccess);
  };
}

const std::wstring kLongFolder = std::wstring(150, L'l') + L"\\" + std::wstring(150, L'm');

// A piece that is a reparse point at a long path is refused, never opened:
// its query is asked in the "\\?\" form too (Wine makes no reparse point).
TEST(WindowsReparsePointTest, AtALongPiecePathIsRefused) {
  if (!hooks::fakeReparsePoint(L"\\in.bin_2"))
    GTEST_SKIP() << "reparse points are Windows' (and faked in a build with the seam)";
  hooks::fakeReparsePoint(L"");
  TempDir dir;
  const CurrentFolder inside(dir.wide());
  writeFile(dir / L"in.bin", patternBytes(2 * kMiB + 5, 41));
  ASSERT_EQ(runInProcess({L"in.bin", L"1", kLongFolder}).exitCode, split_exit::kSuccess);
  hooks::fakeReparsePoint(L"\\in.bin_2");
  const InProcessRun result = runJoinInProcess({kLongFolder + L"\\in.bat", L"out"});
  hooks::fakeReparsePoint(L"");
  EXPECT_EQ(result.exitCode, join_exit::kPieceMissing);
  EXPECT_NE(result.out.find(L"in.bin_2\" is not a file."), std::wstring::npos) << result.out;
  EXPECT_FALSE(std::filesystem::exists(dir.native() / "out" / "in.bin"));
}

int interruptedJoin() { return join_exit::kInterrupted; }

const std::vector<std::vector<std::wstring>> kEndedOutright{
    {L"TerminateProcess " + std::to_wstring(join_exit::kInterrupted)}};

INSTANTIATE_TEST_SUITE_P(
    Calls, WindowsCallsTest,
    ::testing::Values(
        Recorded{"NamingOfAShortPath", joinInto(L"out"), naming(L"out\\filejoin-*")},
        Recorded{"NamingOfALongPath", joinInto(kLongFolder), naming(L"\\\\?\\*")},
        // Asked in the "\\?\" form, a long piece path's link query does not
        // fail where the system's long-path setting is off.
        Recorded{"LinkQueryOfALongPiecePath",
                 splitAndJoinFrom(kLongFolder),
                 {{L"GetFileAttributesW \\\\?\\*\\" + kLongFolder + L"\\in.bin_1"}}},
        Recorded{"CtrlC", interrupted(hooks::interrupt, false, interruptedJoin), kEndedOutright},
        Recorded{"LogoffInTheUsersSession",
                 interrupted([] { hooks::logOff(); }, false, interruptedJoin), kEndedOutright},
        Recorded{"LogoffInTheServicesSession",
                 interrupted([] { hooks::logOff(); }, true, interruptedJoin),
                 {}},
        // A handler waiting on a lock the run holds across a slow call.
        Recorded{"HandlerThatDoesNotAnswer",
                 interrupted(hooks::interrupt, false,
                             [] {
                               std::this_thread::sleep_for(std::chrono::milliseconds(3500));
                               return platform::kInterruptTooLate;
                             }),
                 kEndedOutright}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
