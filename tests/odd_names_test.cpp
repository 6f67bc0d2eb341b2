// What was found with odd names, run the way it was found: names that must
// come back, names a platform cannot hold, control characters on the
// console and a script too big to hold. Each row checks the exit code, one
// exact line of the output and the files left.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "script/rejoin_script.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace fs = std::filesystem;

namespace {

enum class Where { both, posix, windows };

class OddNamesTest;

struct Finding {
  const char* name;
  Where where;
  std::function<RunResult(OddNamesTest&)> act;
  int exitCode;
  std::wstring line;                 // a whole line of the output
  std::vector<std::string> outputs;  // what out/ holds afterwards
};

void PrintTo(const Finding& c, std::ostream* out) { *out << c.name; }

class OddNamesTest : public ::testing::TestWithParam<Finding> {
 public:
  RunOptions inside() const {
    RunOptions options;
    options.workingFolder = dir.wide();
    return options;
  }
  // Splits `input` (1 MiB and 3 bytes) into parts/ and rebuilds it in out/.
  RunResult roundTrip(const std::wstring& input) {
    writeFile(dir / input, patternBytes(kMiB + 3, 4));
    const RunResult split = runFilesplit({input, L"1", L"parts"}, inside());
    EXPECT_EQ(split.exitCode, split_exit::kSuccess) << split.out;
    const std::wstring stem = platform::widePath(platform::nativePath(input).stem());
    RunResult join = runFilejoin({L"parts/" + stem + L".bat", L"out"}, inside());
    if (join.exitCode == join_exit::kSuccess) {
      EXPECT_TRUE(readFile(dir / (L"out/" + input)) == readFile(dir / input));
    }
    return join;
  }
  // Splits in.bin into parts/ and has its script name `target` instead.
  RunResult joinAs(const std::string& target) {
    writeFile(dir / L"in.bin", patternBytes(kMiB + 3, 4));
    EXPECT_EQ(runFilesplit({L"in.bin", L"1", L"parts"}, inside()).exitCode, split_exit::kSuccess);
    writeFile(dir / L"parts/in.bat",
              "chcp 65001\r\ncopy /b \"in.bin_1\" + \"in.bin_2\" \"" + target + "\"\r\n");
    return runFilejoin({L"parts/in.bat", L"out"}, inside());
  }
  // A script of 330,000 pieces named after `stem` (75 MB, more than any
  // cap a reader might set), whose first piece is missing.
  RunResult joinHugeScript(const std::wstring& stem) {
    RejoinScript script(stem);
    std::string bytes;
    for (int piece = 1; piece <= 330000; ++piece) {
      script.addPiece((stem + L"_" + std::to_wstring(piece)).c_str());
      if (piece % 1000 == 0) bytes += script.takeBytes();
    }
    bytes += script.finish();
    fs::create_directories(dir.native() / "parts");
    writeFile(dir / L"parts/big.bat", bytes);
    RunOptions options = inside();
    // The old reader held the whole script and every name: over 600 MB.
    if (memoryLimitSupported()) options.memoryLimit = 128 * kMiB;
    // Without a digest file the join must be told to go on.
    return runFilejoin({L"--unverified", L"parts/big.bat", L"out"}, options);
  }
  TempDir dir;
};

std::vector<std::string> filesIn(const std::wstring& folder) {
  std::vector<std::string> names;
  if (!fs::exists(platform::nativePath(folder))) return names;
  for (const auto& entry : listing(folder)) names.push_back(entry.first);
  return names;
}

bool hasLine(const std::string& out, const std::string& line) {
  return ("\n" + out).find("\n" + line) != std::string::npos;
}

TEST_P(OddNamesTest, EndsAsFound) {
  const Finding& c = GetParam();
  if (c.where == Where::posix && windowsPlatform())
    GTEST_SKIP() << "Windows cannot hold this name; its own rows test it";
  if (c.where == Where::windows && !windowsPlatform())
    GTEST_SKIP() << "a plain name here; the POSIX rows test such names";
  const RunResult result = c.act(*this);
  EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
  std::string line = consoleBytes(c.line + L"\n");
  line.resize(line.size() - (windowsPlatform() ? 2 : 1));
  EXPECT_TRUE(hasLine(result.out, line)) << result.out;
  EXPECT_EQ(filesIn(dir / L"out"), c.outputs);
}

const std::wstring kRefused = L"\"parts/in.bat\" is not a rejoin script of filesplit (line 2: ";

Finding refusedTarget(const char* name, const std::string& target, const std::wstring& shown) {
  return {name,
          Where::windows,
          [target](OddNamesTest& t) { return t.joinAs(target); },
          join_exit::kScriptRefused,
          kRefused + L"\"" + shown + L"\" is not a plain file name).",
          {}};
}

// 249 letters and ".bin": 253 bytes, the longest name whose pieces
// ("NAME_1") a file system of 255-byte names holds.
const std::wstring kLongest = std::wstring(249, L'n') + L".bin";

INSTANTIATE_TEST_SUITE_P(
    Findings, OddNamesTest,
    ::testing::Values(
        // Names that must come back where they are plain names.
        Finding{"ColonNameComesBack",
                Where::posix,
                [](OddNamesTest& t) { return t.roundTrip(L"x:y.iso"); },
                join_exit::kSuccess,
                L"\"out/x:y.iso\" was rebuilt and matches \"parts/x:y.md5\".",
                {"x:y.iso"}},
        Finding{"BackslashNameComesBack",
                Where::posix,
                [](OddNamesTest& t) { return t.roundTrip(L"a\\b"); },
                join_exit::kSuccess,
                L"\"out/a\\b\" was rebuilt and matches \"parts/a\\b.md5\".",
                {"a\\b"}},
        Finding{"DeviceNameIsPlainHere",
                Where::posix,
                [](OddNamesTest& t) { return t.joinAs("NUL"); },
                join_exit::kSuccess,
                L"\"out/NUL\" was rebuilt and matches \"parts/in.md5\".",
                {"NUL"}},
        Finding{"LongestNameComesBack",
                Where::both,
                [](OddNamesTest& t) { return t.roundTrip(kLongest); },
                join_exit::kSuccess,
                L"\"" + shownAsJoined(L"out/" + kLongest) + L"\" was rebuilt and matches \"" +
                    L"parts/" + std::wstring(249, L'n') + L".md5\".",
                {platform::nativePath(kLongest).u8string()}},
        // Names Windows cannot hold: refused in the script...
        refusedTarget("NulRefused", "NUL", L"NUL"), refusedTarget("ConRefused", "con", L"con"),
        refusedTarget("Com1Refused", "COM1", L"COM1"),
        refusedTarget("NulWithExtensionRefused", "nul.txt", L"nul.txt"),
        refusedTarget("TrailingDotRefused", "out.", L"out."),
        refusedTarget("TrailingBlankRefused", "out ", L"out "),
        // ...and as the splitter's input, reached through a \\?\ path.
        Finding{"SplitterRefusesATrailingDot",
                Where::windows,
                [](OddNamesTest& t) {
                  const std::wstring input =
                      L"\\\\?\\" + platform::widePath(fs::absolute(t.dir.native()) / "out.");
                  writeFile(input, patternBytes(kMiB + 3, 4));
                  RunResult result = runFilesplit({input, L"1", L"out"}, t.inside());
                  // Only the \\?\ path removes it: the folder's removal would not.
                  std::error_code ignored;
                  fs::remove(platform::nativePath(input), ignored);
                  return result;
                },
                split_exit::kFailed,
                L"The file name \"out.\" is not one a file can have here, so the rebuilt file "
                L"could not take it; rename the input and split it again.",
                {}},
        // Control characters never reach the terminal raw.
        Finding{"TerminalCommandsInATarget",
                Where::both,
                [](OddNamesTest& t) { return t.joinAs("\x1b[2J\x1b]0;owned\x07X"); },
                join_exit::kScriptRefused,
                kRefused + L"\"\\x1b[2J\\x1b]0;owned\\x07X\" is not a plain file name).",
                {}},
        Finding{"C1AndCarriageReturnInATarget",
                Where::both,
                [](OddNamesTest& t) {
                  return t.joinAs(
                      "a\xC2\x9B"
                      "b\rc");
                },
                join_exit::kScriptRefused,
                kRefused + L"\"a\\u009bb\\rc\" is not a plain file name).",
                {}},
        Finding{"DeleteInATarget",
                Where::both,
                [](OddNamesTest& t) { return t.joinAs("a\177b"); },  // DEL
                join_exit::kScriptRefused,
                kRefused + L"\"a\\x7fb\" is not a plain file name).",
                {}},
        Finding{"EscapeInTheSplittersInput",
                Where::both,
                [](OddNamesTest& t) {
                  return runFilesplit({L"in\x1b[2J.bin", L"1", L"out"}, t.inside());
                },
                split_exit::kInputMissing,
                L"File: in\\x1b[2J.bin",
                {}},
        // A script bigger than any cap, read in bounded memory.
        Finding{"ScriptOf75Megabytes",
                Where::both,
                [](OddNamesTest& t) { return t.joinHugeScript(std::wstring(204, L'b')); },
                join_exit::kPieceMissing,
                L"The piece \"parts/" + std::wstring(204, L'b') + L"_1\" is missing.",
                {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
