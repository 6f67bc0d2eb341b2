// filejoin end to end, what it rebuilds: whatever filesplit wrote, of any
// size and name, comes back exactly, and the pieces stay as they were.
#include <gtest/gtest.h>

#include "join/join_exit_codes.h"
#include "join_fixture.h"

namespace fs = std::filesystem;

namespace {

enum class Via { script, folder, scriptAndNewFolder, deviceNamespaceFolder };

struct RoundTrip {
  const char* name;
  std::wstring input;  // its stem names the script
  uint64_t size;
  bool sparse;
  size_t pieces;
  Via via = Via::script;
  bool posixOnly = false;  // a name Windows cannot hold
};

void PrintTo(const RoundTrip& c, std::ostream* out) { *out << c.name; }

class JoinRoundTripTest : public JoinTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(JoinRoundTripTest, RebuildsTheInputExactly) {
  const RoundTrip& c = GetParam();
  if (c.posixOnly && windowsPlatform())
    GTEST_SKIP() << "Windows cannot hold this name; the TargetNames refusals test it";
  if (c.sparse) {
    writeFile(dir / c.input, "");
    fs::resize_file(platform::nativePath(dir / c.input), c.size);
  } else {
    writeFile(dir / c.input, patternBytes(c.size, 9));
  }
  const RunResult splitRun = split({c.input, L"1", L"parts"});
  ASSERT_EQ(splitRun.exitCode, split_exit::kSuccess) << splitRun.out;
  const std::wstring stem = platform::widePath(platform::nativePath(c.input).stem());
  const auto pieces = listing(dir / L"parts");
  ASSERT_EQ(pieces.size(), c.pieces + 2);

  std::vector<std::wstring> arguments{L"parts/" + stem + L".bat"};
  std::wstring script = arguments[0], folder = L"parts/", header;
  if (c.via == Via::folder) {
    arguments = {L"parts"};
    script = joined(L"parts", stem + L".bat");
    folder = joined(L"parts", L"");
  }
  if (c.via == Via::scriptAndNewFolder) {
    arguments.push_back(L"out/new");
    folder = L"out/new";
    header = L"Output Folder: out/new\n";
  }
  if (c.via == Via::deviceNamespaceFolder) {
    if (!windowsPlatform()) GTEST_SKIP() << "\\\\.\\ paths are the Windows API's";
    arguments.push_back(L"\\\\.\\" + dir.wide() + L"\\out");
    folder = arguments.back();
    header = L"Output Folder: " + folder + L"\n";
  }
  const std::wstring target =
      folder.back() == L'/' || folder.back() == L'\\' ? folder + c.input : joined(folder, c.input);
  const std::wstring digest = script.substr(0, script.size() - 3) + L"md5";
  const RunResult result = join(arguments, true);
  EXPECT_EQ(result.exitCode, join_exit::kSuccess);
  EXPECT_EQ(result.err, "");
  // As many dots as the split printed after its settings.
  const std::string splitDots =
      splitRun.out.substr(splitRun.out.find('\n', splitRun.out.find("Dividing.....")) + 1);
  EXPECT_EQ(result.out,
            consoleBytes(L"Script: " + arguments[0] + L"\n" + header + L"Joining.....\n" +
                         std::wstring(splitDots.size(), L'.') + L"\n\"" + target +
                         L"\" was rebuilt and matches \"" + digest + L"\".\n"));
  // The test's own reads take the plain path.
  const std::wstring rebuilt =
      c.via == Via::deviceNamespaceFolder ? dir / (L"out/" + c.input) : dir / target;
  EXPECT_TRUE(readFile(rebuilt) == readFile(dir / c.input)) << "other bytes rebuilt";
  auto after = listing(dir / L"parts");
  if (c.via == Via::script || c.via == Via::folder)
    after.erase(platform::nativePath(c.input).u8string());
  EXPECT_TRUE(after == pieces) << "the pieces' folder changed";
  if (c.via == Via::scriptAndNewFolder) {
    EXPECT_EQ(listing(dir / L"out/new").size(), 1u) << "more than the rebuilt file was left";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, JoinRoundTripTest,
    ::testing::Values(
        RoundTrip{"ExactlyOnePiece", L"in.bin", kMiB, false, 1},
        RoundTrip{"OneByteMoreThanAPiece", L"in.bin", kMiB + 1, false, 2},
        RoundTrip{"OneByteLessThanTwoPieces", L"in.bin", 2 * kMiB - 1, false, 2},
        RoundTrip{"ExactMultiple", L"in.bin", 3 * kMiB, false, 3},
        RoundTrip{"ThroughTheFolder", L"in.bin", 3 * kMiB + 5, false, 4, Via::folder},
        RoundTrip{"IntoANewNestedFolder", L"in.bin", 2 * kMiB + 5, false, 3,
                  Via::scriptAndNewFolder},
        RoundTrip{"ThreeHundredOnePiecesOnTwoLines", L"in.bin", 301 * kMiB, true, 301},
        RoundTrip{"BlanksAndPercents", L"my file 50% off.iso", 2 * kMiB + 3, false, 3},
        RoundTrip{"NonAsciiInTheBmp", L"r\u00e9sum\u00e9 \u20ac.iso", 2 * kMiB + 3, false, 3},
        RoundTrip{"OutsideTheBmp", L"\U0001D11E song.flac", 2 * kMiB + 3, false, 3,
                  Via::scriptAndNewFolder},
        RoundTrip{"IntoADeviceNamespaceFolder", L"in.bin", 2 * kMiB + 5, false, 3,
                  Via::deviceNamespaceFolder},
        RoundTrip{"LongNameBreaksLines", std::wstring(200, L'n') + L".bin", 25 * kMiB, true, 25,
                  Via::folder},
        // Names that must come back where they are plain names.
        RoundTrip{"ColonNameComesBack", L"x:y.iso", kMiB + 3, false, 2, Via::scriptAndNewFolder,
                  true},
        RoundTrip{"BackslashNameComesBack", L"a\\b", kMiB + 3, false, 2, Via::scriptAndNewFolder,
                  true},
        RoundTrip{"DeviceNameIsPlainHere", L"NUL", kMiB + 3, false, 2, Via::scriptAndNewFolder,
                  true},
        // 249 letters and ".bin": 253 bytes, the longest name whose pieces
        // ("NAME_1") a file system of 255-byte names holds.
        RoundTrip{"LongestNameComesBack", std::wstring(249, L'n') + L".bin", kMiB + 3, false, 2,
                  Via::scriptAndNewFolder}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
