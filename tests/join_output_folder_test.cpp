// The join's output folder moved away while the rebuilt file is written
// (here to "moved"), and a new folder made at its path or the moved one
// removed: the file gets its name in the folder it was written in, with
// nothing of the run left elsewhere, or the run fails naming it. Windows
// refuses the move while the run holds the folder. Also the current folder,
// the output folder where none is given, removed: told as ".".
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "fault_walk.h"
#include "in_process.h"
#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace fs = std::filesystem;
namespace hooks = platform_test_hooks;
using platform::FaultPoint;

namespace {

struct FolderChange {
  const char* name;
  bool madeAgain;  // a new folder made at the old path; else the moved one removed
  fault_walk::Naming naming = fault_walk::Naming::own;
  bool current = false;  // the join run in the pieces' folder, which is removed
};

void PrintTo(const FolderChange& c, std::ostream* out) { *out << c.name; }

// What the change did, for the test to check: it ran, and the system
// refused the move.
struct Changed {
  bool ran = false;
  bool refused = false;
};
Changed changed;

void moveFolder(bool madeAgain, bool current) {
  changed.ran = true;
  std::error_code refused;
  if (current)
    fs::remove_all(fs::current_path(), refused);
  else
    fs::rename("out", "moved", refused);
  changed.refused = static_cast<bool>(refused);
  if (changed.refused || current) return;
  if (madeAgain) {
    fs::create_directory("out");
  } else {
    fs::remove_all("moved");
  }
}

class JoinOutputFolderTest : public ::testing::TestWithParam<FolderChange> {
 protected:
  void TearDown() override { hooks::resetFaults(); }
};

TEST_P(JoinOutputFolderTest, RebuiltFileStaysWithItsFolder) {
  const FolderChange& c = GetParam();
  if (!fault_walk::seamPresent()) GTEST_SKIP() << "no fault injection in this build";
  TempDir dir;
  const CurrentFolder inside(dir.wide());
  const std::string input = patternBytes(2 * kMiB + 3, 41);
  writeFile(L"in.bin", input);
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  hooks::resetFaults();
  changed = Changed{};
  if (c.current && windowsPlatform()) GTEST_SKIP() << "Windows keeps a process's current folder";
  if (!fault_walk::takeNaming(c.naming))
    GTEST_SKIP() << "Windows always writes under a temporary name and renames without replacing";
  // Once the rebuilt file is written, before its flush and its name.
  const bool madeAgain = c.madeAgain, current = c.current;
  hooks::injectFault({FaultPoint::flush, 1, 0, SIZE_MAX, [=] { moveFolder(madeAgain, current); }});
  std::optional<CurrentFolder> inPieces;
  if (current) inPieces.emplace(dir.wide() + L"/parts");
  const InProcessRun run =
      runJoinInProcess(current ? std::vector<std::wstring>{L"in.bat"}
                               : std::vector<std::wstring>{L"parts/in.bat", L"out"});
  inPieces.reset();
  hooks::resetFaults();

  ASSERT_TRUE(changed.ran);
  EXPECT_EQ(changed.refused, windowsPlatform()) << "the move while the run holds the folder";
  const bool gone = !changed.refused && !c.madeAgain;
  if (gone) {
    EXPECT_EQ(run.exitCode, join_exit::kFailed);
    const std::wstring line = L"The output folder \"" + std::wstring(c.current ? L"." : L"out") +
                              L"\" was removed during the join, and the rebuilt file with it.\n";
    EXPECT_NE(run.out.find(line), std::wstring::npos)
        << std::string(run.out.begin(), run.out.end());
  } else {
    EXPECT_EQ(run.exitCode, join_exit::kSuccess) << std::string(run.out.begin(), run.out.end());
    // The success names where the file is.
    const std::wstring named =
        changed.refused ? L"\"" + shownAsJoined(L"out/in.bin") + L"\"" : L"/moved/in.bin\"";
    EXPECT_NE(run.out.find(named + L" was rebuilt and matches"), std::wstring::npos)
        << std::string(run.out.begin(), run.out.end());
  }
  // Besides the split, only the folders and the rebuilt file in the one it
  // was written in: no temporary file or folder, nothing in the new folder.
  const std::string home = changed.refused ? "out" : "moved";
  const auto files = snapshot(dir.wide());
  for (const auto& [path, bytes] : files) {
    if (path == "in.bin" || path.compare(0, 5, "parts") == 0) continue;
    if (!gone && path == home + "/in.bin") {
      EXPECT_TRUE(sameBytes(bytes, input)) << path;
    } else {
      EXPECT_TRUE(bytes == "<dir>" && (path == "out" || path == home)) << path << " is left";
    }
  }
  if (!gone) {
    EXPECT_EQ(files.count(home + "/in.bin"), 1u) << "no rebuilt file";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, JoinOutputFolderTest,
    ::testing::Values(
        FolderChange{"MovedAndMadeAgain", true},
        FolderChange{"MovedAndMadeAgainUnderATemporaryName", true, fault_walk::Naming::renamed},
        FolderChange{"MovedAndMadeAgainOntoAReservation", true, fault_walk::Naming::reserved},
        FolderChange{"MovedAndRemoved", false},
        FolderChange{"MovedAndRemovedUnderATemporaryName", false, fault_walk::Naming::renamed},
        FolderChange{"MovedAndRemovedOntoAReservation", false, fault_walk::Naming::reserved},
        FolderChange{"CurrentFolderRemoved", false, fault_walk::Naming::own, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
