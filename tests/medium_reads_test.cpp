// `filejoin --check` reads each piece from the medium, past the cache
// (Linux O_DIRECT, Windows a handle with no buffering): every read asks
// whole sectors at a whole sector's offset into a buffer aligned to one,
// also when a test plans a shorter read; with pieces of any size, and where
// the file system refuses such reads, the check still tells a match from a
// mismatch, and a piece that cannot be read so fails as a read does.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "in_process.h"
#include "join/join_exit_codes.h"
#include "medium_calls_check.h"
#include "platform_facts.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace hooks = platform_test_hooks;
using platform::FaultPoint;

namespace {

struct PieceShape {
  const char* name;
  const wchar_t* pieceMiB;
  uint64_t inputSize;  // the last piece holds what is left
  const wchar_t* lastPiece;
  size_t readLimit = SIZE_MAX;  // the most bytes each read may move
  bool firstRefused = false;    // the file system refuses piece 1 reads past the cache
};

void PrintTo(const PieceShape& shape, std::ostream* out) { *out << shape.name; }

class MediumReadsTest : public ::testing::TestWithParam<PieceShape> {
 protected:
  void TearDown() override {
    hooks::recordMediumReads(nullptr);
    hooks::resetFaults();
  }
};

TEST_P(MediumReadsTest, CheckReadsWholeAlignedSectorsAndTellsMatchFromMismatch) {
  const PieceShape& shape = GetParam();
  TempDir dir;
  writeFile(dir / L"in.bin", patternBytes(shape.inputSize, 31));
  const CurrentFolder inside(dir.wide());
  ASSERT_EQ(runInProcess({L"in.bin", shape.pieceMiB, L"parts"}).exitCode, split_exit::kSuccess);
  if ((shape.readLimit != SIZE_MAX &&
       !hooks::injectFault({FaultPoint::read, 0, 0, shape.readLimit, {}})) ||
      (shape.firstRefused && !hooks::injectFault({FaultPoint::cacheDrop, 1, EINVAL, SIZE_MAX, {}})))
    GTEST_SKIP() << "no fault injection in this build";
  hooks::MediumCalls reads;
  const bool recorded = hooks::recordMediumReads(&reads);
  EXPECT_EQ(runJoinInProcess({L"--check", L"parts"}).exitCode, join_exit::kSuccess);
  const std::wstring last = dir / (std::wstring(L"parts/") + shape.lastPiece);
  std::string bytes = readFile(last);
  bytes.back() ^= 1;
  writeFile(last, bytes);
  EXPECT_EQ(runJoinInProcess({L"--check", L"parts"}).exitCode, join_exit::kDigestMismatch);
  hooks::recordMediumReads(nullptr);
  if (!recorded)
    GTEST_SKIP() << "the check reads the pieces' own descriptors here, their cached pages "
                    "dropped: no reads of another kind to align";
  if (reads.opens == 0) GTEST_SKIP() << "the volume's sector size is not told here";
  expectWholeAlignedSectors(reads);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, MediumReadsTest,
    ::testing::Values(PieceShape{"LastPieceOneByte", L"1", kMiB + 1, L"in.bin_2"},
                      PieceShape{"LastPieceSectorAndOne", L"1", kMiB + 4097, L"in.bin_2"},
                      PieceShape{"LastPieceBlockAndOne", L"2", 3 * kMiB + 1, L"in.bin_2"},
                      PieceShape{"ReadsCutShort", L"1", kMiB + 1, L"in.bin_2", kMiB / 2 + 1},
                      PieceShape{"FirstRefused", L"1", kMiB + 1, L"in.bin_2", SIZE_MAX, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MediumReadsFaultTest, PieceThatCannotBeOpenedForItFailsAsARead) {
  if (!hooks::injectFault({FaultPoint::textConversion, 1000, 0, SIZE_MAX, {}}))
    GTEST_SKIP() << "no fault injection in this build";
  TempDir dir;
  writeFile(dir / L"in.bin", patternBytes(kMiB + 1, 32));
  const CurrentFolder inside(dir.wide());
  hooks::resetFaults();
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  hooks::injectFault({FaultPoint::cacheDrop, 2, EIO, SIZE_MAX, {}});
  const InProcessRun run = runJoinInProcess({L"--check", L"parts"});
  hooks::resetFaults();
  EXPECT_EQ(run.exitCode, join_exit::kFailed);
  const std::wstring line = L"in.bin_2\": " + platform::systemErrorText(EIO) + L"\n";
  const size_t told = run.out.find(line);
  ASSERT_NE(told, std::wstring::npos) << std::string(run.out.begin(), run.out.end());
  const size_t start = run.out.rfind(L'\n', told) + 1;
  EXPECT_EQ(run.out.compare(start, 13, L"Cannot read \""), 0)
      << std::string(run.out.begin(), run.out.end());
}

}  // namespace

// A split reads its input, and a join its pieces, from the medium where the
// cache does not hold them: reading a file the cache lacks fills none of it.
class UncachedReadsTest : public ::testing::TestWithParam<bool> {};

TEST_P(UncachedReadsTest, FillNoneOfTheCache) {
  const bool join = GetParam();
  TempDir dir;
  const std::wstring input = dir / L"in.bin";
  writeFile(input, patternBytes(3 * kMiB + 5, 33));
  const CurrentFolder inside(dir.wide());
  if (cachedBytes(input, true) != 0)
    GTEST_SKIP() << "what the cache holds of a file is not told or cannot be dropped here";
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  std::vector<std::wstring> read{input};
  if (join) {
    read = {dir / L"parts/in.bin_1", dir / L"parts/in.bin_4"};
    for (const std::wstring& piece : read) ASSERT_EQ(cachedBytes(piece, true), 0);
    ASSERT_EQ(runJoinInProcess({L"parts/in.bat"}).exitCode, join_exit::kSuccess);
    EXPECT_TRUE(readFile(dir / L"parts/in.bin") == patternBytes(3 * kMiB + 5, 33));
  }
  for (const std::wstring& file : read)
    EXPECT_EQ(cachedBytes(file), 0) << std::string(file.begin(), file.end());
}

INSTANTIATE_TEST_SUITE_P(Tools, UncachedReadsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Join" : "Split"; });
