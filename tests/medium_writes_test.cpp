// The pieces and the rebuilt file go to the medium past the cache: every
// such write, as the platform was asked for it, is whole sectors at a whole
// sector's offset from a buffer aligned to one, made through a file that
// bypasses the cache, and together they are each file's whole sectors; the
// bytes that fill no sector go the ordinary way. The files hold the input.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "in_process.h"
#include "join/join_exit_codes.h"
#include "medium_calls_check.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"

namespace hooks = platform_test_hooks;

namespace {

constexpr uint64_t kMiB = 1048576;

struct WriteShape {
  const char* name;
  uint64_t inputSize;
  uint64_t rejoinedPiece = 0;  // the pieces cut again to this size before the join (0: not)
};

void PrintTo(const WriteShape& shape, std::ostream* out) { *out << shape.name; }

// The bytes of a file of `size` that go past the cache.
uint64_t wholeSectors(uint64_t size) {
  return size / platform::kMediumAlignment * platform::kMediumAlignment;
}

class MediumWritesTest : public ::testing::TestWithParam<WriteShape> {
 protected:
  void TearDown() override { hooks::recordMediumWrites(nullptr); }
};

TEST_P(MediumWritesTest, SplitAndJoinWriteWholeAlignedSectorsPastTheCache) {
  const WriteShape& shape = GetParam();
  TempDir dir;
  const std::string input = patternBytes(shape.inputSize, 41);
  writeFile(dir / L"in.bin", input);
  const CurrentFolder inside(dir.wide());
  hooks::MediumCalls writes;
  if (!hooks::recordMediumWrites(&writes)) GTEST_SKIP() << "no fault injection in this build";
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  uint64_t expected = 0;  // the split's pieces, then the rebuilt file
  for (uint64_t at = 0; at < input.size() && piecesPastTheCache(); at += kMiB)
    expected += wholeSectors(input.substr(at, kMiB).size());
  const uint64_t pieceSize = shape.rejoinedPiece != 0 ? shape.rejoinedPiece : kMiB;
  for (uint64_t at = 0, number = 1; at < input.size(); at += pieceSize, ++number) {
    const std::string piece = input.substr(at, pieceSize);
    const std::wstring path = dir / (L"parts/in.bin_" + std::to_wstring(number));
    if (shape.rejoinedPiece != 0) writeFile(path, piece);
    EXPECT_TRUE(readFile(path) == piece) << "piece " << number;
  }
  EXPECT_EQ(runJoinInProcess({L"parts/in.bat"}).exitCode, join_exit::kSuccess);
  hooks::recordMediumWrites(nullptr);
  EXPECT_TRUE(readFile(dir / L"parts/in.bin") == input) << "the rebuilt file is not the input";
  // A handle that bypasses the cache itself writes the last bytes as a
  // whole sector, cut back after them.
  if (writes.opens == 0) GTEST_SKIP() << "this file system refuses writes past the cache";
  const uint64_t sector = writes.sectorSize;
  expected += windowsPlatform() ? (input.size() + sector - 1) / sector * sector
                                : wholeSectors(input.size());
  const uint64_t total = expectWholeAlignedSectors(writes);
  EXPECT_EQ(total, expected) << "not every whole sector went past the cache, or more did";
}

INSTANTIATE_TEST_SUITE_P(Shapes, MediumWritesTest,
                         ::testing::Values(WriteShape{"TailShorterThanABlock", 2 * kMiB + 5000},
                                           WriteShape{"TailOfOneByte", kMiB + 1},
                                           WriteShape{"ExactlyOneBlock", kMiB},
                                           WriteShape{"PiecesEndInsideBlocks", 2999999, 1000000}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
