// filejoin end to end, what a join does around the rebuild: --check reads
// and writes nothing, a mismatch never gets the final name, a join ended
// outright leaves no temporary file, and what does not stand in its way.
#include <gtest/gtest.h>

#include <algorithm>

#include "join/join_exit_codes.h"
#include "join_fixture.h"
#include "texts/join_texts.h"

namespace fs = std::filesystem;

namespace {

bool holdsTemporaryFile(const std::map<std::string, uint64_t>& files) {
  return std::any_of(files.begin(), files.end(),
                     [](const auto& file) { return file.first.rfind("filejoin-", 0) == 0; });
}

// A join ended outright while it writes (taskkill /F, the system's end of a
// closed window past the routine's time, kill -KILL) leaves no temporary
// file: Windows marks it for deletion from its creation, Linux writes it
// unnamed.
TEST_F(JoinCaseTest, KilledOutrightLeavesNoTemporaryFile) {
  bool temporaryWhileHeld = false;
  const bool held =
      runFilejoinKilled({L"parts/in.bat"}, inside(), consoleBytes(kHeader).size() + 1,
                        [&] { temporaryWhileHeld = holdsTemporaryFile(listing(dir / L"parts")); });
  EXPECT_TRUE(held) << "the join was not held while it wrote";
  if (windowsPlatform()) {
    EXPECT_TRUE(temporaryWhileHeld) << "no temporary file to leave";
  }
  EXPECT_FALSE(holdsTemporaryFile(listing(dir / L"parts")));
  EXPECT_FALSE(fs::exists(platform::nativePath(dir / L"parts/in.bin")));
}

TEST_F(JoinCaseTest, OutputFolderThatIsAFileCannotBeMade) {
  const auto before = snapshot(dir.wide());
  const RunResult result = join({L"parts/in.bat", L"parts/in.bin_1"});
  EXPECT_EQ(result.exitCode, join_exit::kOutputFolderFailed);
  EXPECT_EQ(result.out, consoleBytes(join_texts::settings(L"parts/in.bat", L"parts/in.bin_1") +
                                     join_texts::kJoining +
                                     L"\nCannot use the output folder "
                                     L"\"parts/in.bin_1\": " +
                                     platform::systemErrorText(EEXIST) + L"\n"));
  EXPECT_TRUE(snapshot(dir.wide()) == before);
}

TEST_F(JoinCaseTest, VersionIsTheProjectsOwn) {
  const RunResult result = join({L"--version"});
  EXPECT_EQ(result.exitCode, join_exit::kSuccess);
  const std::string version = FILESPLIT_VERSION;
  EXPECT_EQ(result.out,
            consoleBytes(L"filejoin " + std::wstring(version.begin(), version.end()) + L"\n"));
}

TEST_F(JoinCaseTest, CheckReadsGoodPiecesAndWritesNothing) {
  const auto before = snapshot(dir.wide());
  const RunResult result = join({L"--check", L"parts/in.bat"});
  EXPECT_EQ(result.exitCode, join_exit::kSuccess);
  EXPECT_EQ(result.out, consoleBytes(L"Script: parts/in.bat\nChecking.....\n....\nThe pieces "
                                     L"match \"parts/in.md5\".\n"));
  EXPECT_TRUE(snapshot(dir.wide()) == before);
}

TEST_F(JoinCaseTest, CheckFindsOneFlippedByteAndWritesNothing) {
  flipByte(L"parts/in.bin_3", 4711);
  const auto before = snapshot(dir.wide());
  const RunResult result = join({L"--check", L"parts"});
  EXPECT_EQ(result.exitCode, join_exit::kDigestMismatch);
  EXPECT_EQ(result.out, consoleBytes(L"Script: parts\nChecking.....\n....\nThe pieces do not "
                                     L"match \"" +
                                     joined(L"parts", L"in.md5") + L"\".\n"));
  EXPECT_TRUE(snapshot(dir.wide()) == before);
}

TEST_F(JoinCaseTest, CheckWithoutDigestFileSaysSo) {
  fs::remove(dir.native() / "parts" / "in.md5");
  const auto before = snapshot(dir.wide());
  const RunResult result = join({L"--check", L"parts/in.bat"});
  EXPECT_EQ(result.exitCode, join_exit::kUnverified);
  EXPECT_EQ(result.out,
            consoleBytes(L"Script: parts/in.bat\nChecking.....\n....\nThe pieces "
                         L"were read but not verified: there is no \"parts/in.md5\".\n"));
  EXPECT_TRUE(snapshot(dir.wide()) == before);
}

TEST_F(JoinCaseTest, MismatchNeverGetsTheFinalName) {
  flipByte(L"parts/in.bin_4", 2);
  const RunResult result = join({L"parts/in.bat", L"out"});
  EXPECT_EQ(result.exitCode, join_exit::kDigestMismatch);
  // Whatever the file system, the run's temporary file does not stay.
  const auto left = snapshot(dir / L"out");
  std::wstring told;
  for (const auto& [name, bytes] : left) {
    EXPECT_EQ(name.compare(0, 9, "filejoin-"), 0) << name;
    told = L"\"" + joined(L"out", std::wstring(name.begin(), name.end())) +
           L"\" is left from this run and may be removed.\n";
  }
  EXPECT_LE(left.size(), 1u);
  EXPECT_EQ(result.out,
            consoleBytes(join_texts::settings(L"parts/in.bat", L"out") + join_texts::kJoining +
                         L"\n....\nThe rebuilt file does not match \"parts/in.md5\".\n" + told));
}

TEST_F(JoinCaseTest, WithoutDigestFileRebuildsAndSaysItIsNotVerified) {
  fs::remove(dir.native() / "parts" / "in.md5");
  const RunResult result = join({L"--unverified", L"parts/in.bat"});
  EXPECT_EQ(result.exitCode, join_exit::kUnverified);
  EXPECT_EQ(result.out, consoleBytes(kHeader + L"....\n\"parts/in.bin\" was rebuilt but not "
                                               L"verified: there is no \"parts/in.md5\".\n"));
  EXPECT_TRUE(readFile(dir / L"parts/in.bin") == input);
  EXPECT_EQ(snapshot(dir / L"parts").size(), 6u) << "the script, 4 pieces, the rebuilt file";
}

TEST_F(JoinCaseTest, EditedScriptAndDigestFileAreRead) {
  // As an editor may save them: LF line ends, the digest in capitals with a
  // line end and blanks after it.
  std::string script = readFile(dir / L"parts/in.bat");
  script.erase(std::remove(script.begin(), script.end(), '\r'), script.end());
  writeFile(dir / L"parts/in.bat", script);
  std::string digest = readFile(dir / L"parts/in.md5");
  std::transform(digest.begin(), digest.end(), digest.begin(), ::toupper);
  writeFile(dir / L"parts/in.md5", digest + "  \r\n");
  const RunResult result = join({L"parts/in.bat"});
  EXPECT_EQ(result.exitCode, join_exit::kSuccess) << result.out;
  EXPECT_TRUE(readFile(dir / L"parts/in.bin") == input);
}

// ---- What does not stand in a join's way ------------------------------------

const std::wstring kRebuilt =
    join_texts::rebuiltAndMatches(L"parts/in.bin", L"parts/in.md5") + L"\n";

// `result` is a success that ends with `line`: parts/in.bin holds the input,
// and no temporary file is left.
void expectRebuilt(const JoinCaseTest& t, const RunResult& result, const std::wstring& line) {
  EXPECT_EQ(result.exitCode, join_exit::kSuccess) << result.out;
  const std::string tail = consoleBytes(line);
  ASSERT_GE(result.out.size(), tail.size()) << result.out;
  EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail);
  EXPECT_TRUE(fs::is_regular_file(t.dir.native() / "parts" / "in.bin") &&
              readFile(t.dir / L"parts/in.bin") == t.input);
  for (const auto& entry : fs::directory_iterator(t.dir.native() / "parts"))
    EXPECT_NE(entry.path().filename().string().rfind("filejoin-", 0), 0u)
        << "a temporary file left";
}

TEST_F(JoinCaseTest, LeftoverTemporaryNamesBlockNothing) {
  writeFile(dir / L"parts/in.bin.filejoin-tmp", "old");
  fs::rename(dir.native() / "parts" / "in.bin.filejoin-tmp", dir.native() / "in.bin.filejoin-tmp");
  expectRebuilt(*this, join({L"parts/in.bat"}), kRebuilt);
}

TEST_F(JoinCaseTest, DigestFileOfTheMostBytes) {
  const std::wstring digest = dir / L"parts/in.md5";
  writeFile(digest, readFile(digest) + std::string(4096 - 32 - 2, ' ') + "\r\n");
  expectRebuilt(*this, join({L"parts/in.bat"}), kRebuilt);
}

// Run where the pieces are: the second "--" is the script's name.
TEST_F(JoinCaseTest, ScriptNamedLikeTheEndOfOptions) {
  fs::rename(dir.native() / "parts" / "in.bat", dir.native() / "parts" / "--");
  fs::rename(dir.native() / "parts" / "in.md5", dir.native() / "parts" / "--.md5");
  RunOptions options = inside();
  options.workingFolder = dir / L"parts";
  expectRebuilt(*this, runFilejoin({L"--", L"--"}, options),
                join_texts::rebuiltAndMatches(L"in.bin", L"--.md5") + L"\n");
}

TEST_F(JoinCaseTest, EndOfOptionsBeforeTheScript) {
  expectRebuilt(*this, join({L"--", L"parts/in.bat"}), kRebuilt);
}

}  // namespace
