// What Wine cannot show of the Windows layer, as the layer records its calls
// (platform_test_hooks::recordCalls): the rebuilt file marked for deletion
// from its creation to its naming, its name flushed through its handle
// before the close, a long path's "\\?\" form as it reaches CreateFileW,
// and how the control routine ends the process. Skipped elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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

using Runs = std::vector<std::vector<std::wstring>>;

struct Recorded {
  const char* name;
  /// Makes the layer act, in `dir`, the current folder (parts/ holds a split).
  std::function<void(const TempDir& dir)> act;
  /// Runs of entries that follow one another in the record; one ending in
  /// "*" stands for every entry that begins so.
  std::function<Runs(const TempDir& dir)> runs;
  /// An entry's start that must be nowhere in the record ("": none).
  std::wstring absent = L"";
};

void PrintTo(const Recorded& c, std::ostream* out) { *out << c.name; }

bool matches(const std::wstring& entry, const std::wstring& expected) {
  if (expected.empty() || expected.back() != L'*') return entry == expected;
  return entry.compare(0, expected.size() - 1, expected, 0, expected.size() - 1) == 0;
}

bool holdsRun(const std::vector<std::wstring>& record, const std::vector<std::wstring>& run) {
  return std::search(record.begin(), record.end(), run.begin(), run.end(), matches) !=
         record.end();
}

class WindowsCallsTest : public ::testing::TestWithParam<Recorded> {};

TEST_P(WindowsCallsTest, AreMadeInTheirOrder) {
  const Recorded& c = GetParam();
  std::vector<std::wstring> record;
  if (!hooks::recordCalls(&record))
    GTEST_SKIP() << "these calls are Windows' (and recorded in a build with the seam)";
  hooks::recordCalls(nullptr);
  TempDir dir;
  const CurrentFolder inside(dir.wide());
  writeFile(dir / L"in.bin", patternBytes(2 * kMiB + 5, 41));
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  hooks::recordCalls(&record);
  c.act(dir);
  hooks::recordCalls(nullptr);
  hooks::fakeConsole(std::nullopt);
  std::wstring shown;
  for (const std::wstring& entry : record) shown += entry + L"\n";
  for (const auto& run : c.runs(dir))
    EXPECT_TRUE(holdsRun(record, run)) << run.front() << " ... not in:\n" << shown;
  const auto absent = [&](const std::wstring& e) { return matches(e, c.absent + L"*"); };
  if (!c.absent.empty()) {
    EXPECT_TRUE(std::none_of(record.begin(), record.end(), absent)) << shown;
  }
}

// A join into `folder`, which must end 0.
std::function<void(const TempDir&)> joinInto(const std::wstring& folder) {
  return [folder](const TempDir&) {
    EXPECT_EQ(runJoinInProcess({L"parts/in.bat", folder}).exitCode, join_exit::kSuccess);
  };
}

// The rebuilt file's way from its creation in `folder` (below the test's)
// to its name: marked at once, the mark cleared just before the rename, and
// the name flushed through the same handle before its close.
Runs namingIn(const std::wstring& created) {
  return {{L"CreateFileW " + created + L"\\filejoin-*", L"disposition delete"},
          {L"disposition keep", L"rename", L"flush", L"close"}};
}

const std::wstring kLong = std::wstring(150, L'l') + L"\\" + std::wstring(150, L'm');

// The user's interrupt answered by `handler`, in the user's session or
// the services', by `event`.
std::function<void(const TempDir&)> interrupted(const std::function<void()>& event,
                                                bool services,
                                                const std::function<int()>& handler) {
  return [=](const TempDir&) {
    hooks::fakeConsole(1, true, services);
    platform::onInterrupt(handler, join_exit::kInterrupted);
    event();
    platform::onInterrupt(nullptr);
  };
}

int interruptedJoin() { return join_exit::kInterrupted; }

int tooSlowToAnswer() {
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  return platform::kInterruptTooLate;
}

// The process ended with the interrupt's code, by TerminateProcess.
Runs endedOutright(const TempDir&) {
  return {{L"TerminateProcess " + std::to_wstring(join_exit::kInterrupted)}};
}

Runs none(const TempDir&) { return {}; }

INSTANTIATE_TEST_SUITE_P(
    Calls, WindowsCallsTest,
    ::testing::Values(
        Recorded{"NamingOfAShortPath", joinInto(L"out"),
                 [](const TempDir&) { return namingIn(L"out"); }, L""},
        Recorded{"NamingOfALongPath", joinInto(kLong),
                 [](const TempDir& d) { return namingIn(L"\\\\?\\" + d.wide() + L"\\" + kLong); },
                 L""},
        Recorded{"CtrlC", interrupted(hooks::interrupt, false, interruptedJoin),
                 endedOutright, L""},
        Recorded{"LogoffInTheUsersSession",
                 interrupted([] { hooks::logOff(); }, false, interruptedJoin),
                 endedOutright, L""},
        Recorded{"LogoffInTheServicesSession",
                 interrupted([] { hooks::logOff(); }, true, interruptedJoin),
                 none,
                 L"TerminateProcess"},
        // A handler waiting on a lock held across a slow call.
        Recorded{"HandlerThatDoesNotAnswer", interrupted(hooks::interrupt, false, tooSlowToAnswer),
                 endedOutright, L""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
