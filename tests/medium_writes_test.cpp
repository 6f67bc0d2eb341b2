// The pieces and the rebuilt file go to the medium past the cache: every
// such write, as the platform was asked for it, is whole sectors at a whole
// sector's offset from a buffer aligned to one, made through a file that
// bypasses the cache, and together they are each file's whole sectors; the
// bytes that fill no sector go the ordinary way. The files hold the input.
// The rebuilt file's writes follow each other at the offsets the system is
// told, past 4 GiB too (started there by a test hook), and leave the file's
// position at its end; a write the system refuses is told by its own error.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "in_process.h"
#include "join/join_exit_codes.h"
#include "medium_calls_check.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"

namespace hooks = platform_test_hooks;
using platform::FaultPoint;

namespace {

struct WriteShape {
  const char* name;
  uint64_t inputSize;
  uint64_t rejoinedPiece = 0;  // the pieces cut again to this size before the join (0: not)
  uint64_t startAt = 0;        // where the rebuilt file's writes start (a test hook; 0: its start)
  bool directWritesRefused = false;  // as by a file system that takes no writes past the cache
  /// The file system's alignments past the cache, faked (0: its own); one
  /// that 4096 is no multiple of refuses the writes as above.
  hooks::DirectAlignment alignment = {};
};

void PrintTo(const WriteShape& shape, std::ostream* out) { *out << shape.name; }

// The bytes of a file of `size` that go past the cache.
uint64_t wholeSectors(uint64_t size) {
  return size / platform::kMediumAlignment * platform::kMediumAlignment;
}

// The `size` bytes of the file at `path` from `offset` on.
std::string readRange(const std::wstring& path, uint64_t offset, size_t size) {
  std::ifstream in(platform::nativePath(path), std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(size, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

class MediumWritesTest : public ::testing::TestWithParam<WriteShape> {
 protected:
  void TearDown() override {
    hooks::recordMediumWrites(nullptr);
    hooks::recordWriteBack(nullptr);
    hooks::startMediumWritesAt(0);
    hooks::fakeDirectAlignment(std::nullopt);
    hooks::resetFaults();
  }
};

TEST_P(MediumWritesTest, SplitAndJoinWriteWholeAlignedSectorsPastTheCache) {
  const WriteShape& shape = GetParam();
  TempDir dir;
  const std::string input = patternBytes(shape.inputSize, 41);
  writeFile(dir / L"in.bin", input);
  const CurrentFolder inside(dir.wide());
  hooks::MediumCalls writes;
  hooks::MediumCalls writeBacks;
  if (!hooks::recordMediumWrites(&writes) || !hooks::recordWriteBack(&writeBacks) ||
      (shape.directWritesRefused && shape.alignment.offset == 0 &&
       !hooks::injectFault({FaultPoint::mediumWrites, 0, EINVAL, SIZE_MAX, {}})))
    GTEST_SKIP() << "no fault injection in this build";
  if (shape.alignment.offset != 0 && !hooks::fakeDirectAlignment(shape.alignment))
    GTEST_SKIP() << "no alignment answer to fake here: the volume's sector size is asked";
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
  if (!hooks::startMediumWritesAt(shape.startAt))
    GTEST_SKIP() << "writes past the cache go at the descriptor's own position here";
  const size_t before = writes.sizes.size();  // the split's
  EXPECT_EQ(runJoinInProcess({L"parts/in.bat"}).exitCode, join_exit::kSuccess);
  hooks::recordMediumWrites(nullptr);
  hooks::recordWriteBack(nullptr);
  const std::wstring rebuilt = dir / L"parts/in.bin";
  EXPECT_EQ(std::filesystem::file_size(platform::nativePath(rebuilt)),
            shape.startAt + input.size());
  EXPECT_TRUE(readRange(rebuilt, shape.startAt, input.size()) == input)
      << "the rebuilt file is not the input";
  // The join's writes follow each other from where they start, whatever
  // the offset's size; the file's position is its end after the last bytes.
  for (size_t i = before, at = 0; i < writes.offsets.size(); at += writes.sizes[i++])
    EXPECT_EQ(writes.offsets[i], shape.startAt + at) << "the rebuilt file's call " << i - before;
  if (writes.opens > 0 && input.size() % platform::kMediumAlignment != 0) {
    EXPECT_EQ(writes.endPosition, static_cast<int64_t>(shape.startAt + input.size()));
  }
  // Each file written through the cache has its write-back started block by
  // block from its first byte: the ranges follow each other and cover it.
  const bool piecesThroughCache = shape.directWritesRefused || !piecesPastTheCache();
  const size_t files = (piecesThroughCache ? (input.size() + kMiB - 1) / kMiB : 0) +
                       (shape.directWritesRefused ? 1 : 0);
  size_t starts = 0;
  uint64_t covered = 0;
  for (size_t i = 0; i < writeBacks.offsets.size(); covered += writeBacks.sizes[i++]) {
    if (writeBacks.offsets[i] == 0) {
      ++starts;
      continue;
    }
    EXPECT_TRUE(i > 0 &&
                writeBacks.offsets[i] == writeBacks.offsets[i - 1] + writeBacks.sizes[i - 1])
        << "write-back " << i << " at " << writeBacks.offsets[i];
  }
  EXPECT_EQ(starts, files) << "files whose write-back starts at their first byte";
  EXPECT_EQ(covered, (piecesThroughCache ? input.size() : 0) +
                         (shape.directWritesRefused ? input.size() : 0));
  if (shape.directWritesRefused) return;
  // A handle that bypasses the cache itself writes the last bytes as a
  // whole sector, cut back after them.
  if (writes.opens == 0) GTEST_SKIP() << "this file system refuses writes past the cache";
  const uint64_t sector = writes.sectorSize;
  expected += windowsPlatform() ? (input.size() + sector - 1) / sector * sector
                                : wholeSectors(input.size());
  const uint64_t total = expectWholeAlignedSectors(writes);
  EXPECT_EQ(total, expected) << "not every whole sector went past the cache, or more did";
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, MediumWritesTest,
    ::testing::Values(
        WriteShape{"TailShorterThanABlock", 2 * kMiB + 5000}, WriteShape{"TailOfOneByte", kMiB + 1},
        WriteShape{"ExactlyOneBlock", kMiB}, WriteShape{"PiecesEndInsideBlocks", 2999999, 1000000},
        WriteShape{"RebuiltFilePast4GiB", 2 * kMiB + 5000, 0, kMiB * 1024 * 5},
        WriteShape{"DirectWritesRefused", 2 * kMiB + 5000, 0, 0, true},
        WriteShape{"OffsetAlignmentTooLarge", 2 * kMiB + 5000, 0, 0, true, {8192, 512}},
        WriteShape{"MemoryAlignmentTooLarge", 2 * kMiB + 5000, 0, 0, true, {512, 8192}}),
    [](const auto& info) { return std::string(info.param.name); });

// A write past the cache that the system refuses is told by the system's own
// error: here one whose end would pass the largest file offset
// (ERROR_INVALID_PARAMETER).
TEST_F(MediumWritesTest, RefusedWriteIsToldByItsOwnError) {
  TempDir dir;
  writeFile(dir / L"in.bin", patternBytes(kMiB + 5, 42));
  const CurrentFolder inside(dir.wide());
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  if (!hooks::startMediumWritesAt((uint64_t{1} << 63) - kMiB))
    GTEST_SKIP() << "writes past the cache go at the descriptor's own position here";
  hooks::MediumCalls writes;
  hooks::recordMediumWrites(&writes);
  const InProcessRun run = runJoinInProcess({L"parts/in.bat"});
  hooks::recordMediumWrites(nullptr);
  if (writes.opens == 0) GTEST_SKIP() << "this file system refuses writes past the cache";
  EXPECT_EQ(run.exitCode, join_exit::kFailed);
  const std::wstring told = L"\": " + platform::systemErrorText(EINVAL) + L"\n";
  EXPECT_NE(run.out.find(L"Cannot write \""), std::wstring::npos);
  EXPECT_NE(run.out.find(told), std::wstring::npos) << std::string(run.out.begin(), run.out.end());
}

}  // namespace
