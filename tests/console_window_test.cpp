// The close prompt of a console window opened for the tool alone (a file
// dropped on the .exe): shown, with one key waited for, only then; the exit
// code and every other byte of output as without it.
#include <gtest/gtest.h>

#include <sstream>

#include "app/entry.h"
#include "app/join_front_end.h"
#include "app/split_front_end.h"
#include "in_process.h"
#include "platform/test_hooks.h"
#include "process.h"

namespace {

const std::wstring kPrompt = L"Press any key to close this window.\n";

struct WindowCase {
  const char* name;
  FrontEnd frontEnd;
  std::vector<const wchar_t*> argv;
  unsigned consoleProcesses;  // 0: no console at all
  bool prompted;
  bool shown = true;             // the window shows on a desktop
  bool servicesSession = false;  // the process runs in session 0
};

void PrintTo(const WindowCase& c, std::ostream* out) { *out << c.name; }

class ConsoleWindowTest : public ::testing::TestWithParam<WindowCase> {
 protected:
  void TearDown() override { platform_test_hooks::fakeConsole(std::nullopt); }
};

TEST_P(ConsoleWindowTest, PromptsAndWaitsOnlyInAWindowOfItsOwn) {
  const WindowCase& c = GetParam();
  if (!platform_test_hooks::fakeConsole(c.consoleProcesses, c.shown, c.servicesSession))
    GTEST_SKIP() << "this build cannot fake the console (no fault seam)";
  const int argc = static_cast<int>(c.argv.size());
  std::wostringstream before;  // the front end alone: the output as it was
  const int exitBefore = c.frontEnd(argc, c.argv.data(), before, std::locale::classic());
  std::wostringstream now;
  const int exitNow = runTool(c.frontEnd, argc, c.argv.data(), now, std::locale::classic());
  EXPECT_EQ(now.str(), before.str() + (c.prompted ? kPrompt : L""));
  EXPECT_EQ(exitNow, exitBefore);
  EXPECT_EQ(platform_test_hooks::consoleKeysTaken(), c.prompted ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConsoleWindowTest,
    ::testing::Values(
        WindowCase{"SplitUsageAlone", runFrontEnd, {L"filesplit"}, 1, true},
        WindowCase{"JoinVersionAlone", runJoinFrontEnd, {L"filejoin", L"--version"}, 1, true},
        WindowCase{"SplitUsageInCommandPrompt", runFrontEnd, {L"filesplit"}, 2, false},
        WindowCase{"JoinUsageInCommandPrompt", runJoinFrontEnd, {L"filejoin"}, 2, false},
        WindowCase{
            "JoinVersionWithoutConsole", runJoinFrontEnd, {L"filejoin", L"--version"}, 0, false},
        // A program started without a window, a task run whether the user
        // is logged on or not, a service: nobody can press a key.
        WindowCase{"SplitUsageInAHiddenWindow", runFrontEnd, {L"filesplit"}, 1, false, false},
        WindowCase{
            "JoinUsageInTheServicesSession", runJoinFrontEnd, {L"filejoin"}, 1, false, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The real binaries, output on a pipe and input on nothing: as the suite
// starts them (under Wine without any console), and with a console window
// of their own, as Explorer starts them. Their output is the front end's
// alone, and they end without waiting for a key.
TEST(ConsoleWindowFrontEndTest, RedirectedRunsNeitherPromptNorWait) {
  for (const bool consoleOfItsOwn : {false, true}) {
    SCOPED_TRACE(consoleOfItsOwn ? "console of its own" : "as the suite runs");
    RunOptions options;
    options.consoleOfItsOwn = consoleOfItsOwn;
    const RunResult split = runFilesplit({}, options);
    const InProcessRun splitBefore = runInProcess({});
    EXPECT_EQ(split.out, consoleBytes(splitBefore.out));
    EXPECT_EQ(split.exitCode, splitBefore.exitCode);
    const RunResult join = runFilejoin({L"--version"}, options);
    const InProcessRun joinBefore = runJoinInProcess({L"--version"});
    EXPECT_EQ(join.out, consoleBytes(joinBefore.out));
    EXPECT_EQ(join.exitCode, joinBefore.exitCode);
  }
}

}  // namespace
