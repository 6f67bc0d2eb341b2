// `filejoin --check` reads each piece from the medium, past the cache
// (Linux O_DIRECT, Windows a handle with no buffering): every read asks
// whole sectors at a whole sector's offset into a buffer aligned to one,
// also when a test plans a shorter read; with pieces of any size, and where
// the file system refuses such reads, the check still tells a match from a
// mismatch, and a piece that cannot be read so fails as a read does.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

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

struct PieceShape {
  const char* name;
  const wchar_t* pieceMiB;
  uint64_t inputSize;  // the last piece holds what is left
  const wchar_t* lastPiece;
  size_t readLimit = SIZE_MAX;  // the most bytes each read may move
  // The piece whose reads past the cache the file system refuses, counted
  // over both checks (the second's last piece is the one changed); 0: none.
  unsigned refusedPiece = 0;
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
      (shape.refusedPiece != 0 &&
       !hooks::injectFault({FaultPoint::cacheDrop, shape.refusedPiece, EINVAL, SIZE_MAX, {}})))
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
                      PieceShape{"FirstRefused", L"1", kMiB + 1, L"in.bin_2", SIZE_MAX, 1},
                      // Its changed pages are written back before they are dropped.
                      PieceShape{"ChangedRefused", L"1", kMiB + 1, L"in.bin_2", SIZE_MAX, 4}),
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
// cache does not hold them: reading a file the cache lacks fills none of it,
// and a read the cache holds whole comes from the cache. A failed query
// counts as a range not cached.
struct UncachedShape {
  const char* name;
  bool join;
  uint64_t cachedStart = 0;  // bytes at the input's start in the cache first
  unsigned failedQuery = 0;  // the cache query of the split that fails; 0: none
};

void PrintTo(const UncachedShape& shape, std::ostream* out) { *out << shape.name; }

class UncachedReadsTest : public ::testing::TestWithParam<UncachedShape> {
 protected:
  void TearDown() override {
    hooks::recordMediumReads(nullptr);
    hooks::resetFaults();
  }
};

TEST_P(UncachedReadsTest, FillNoneOfTheCache) {
  const UncachedShape& shape = GetParam();
  TempDir dir;
  const std::wstring input = dir / L"in.bin";
  const std::string bytes = patternBytes(3 * kMiB + 5, 33);
  writeFile(input, bytes);
  const CurrentFolder inside(dir.wide());
  const bool dropped = shape.cachedStart < bytes.size();
  const int64_t left = cachedBytes(input, dropped);
  if (left < 0 || (dropped && left != 0))
    GTEST_SKIP() << "what the cache holds of a file is not told or cannot be dropped here";
  if (shape.cachedStart != 0 && dropped) {
    // Written again, not read: a read would have the system read ahead
    // past the start, on each read of those pages.
    std::fstream start(platform::queryPath(input), std::ios::in | std::ios::out | std::ios::binary);
    start.write(bytes.data(), static_cast<std::streamsize>(shape.cachedStart));
  }
  const int64_t cached = cachedBytes(input);
  if (shape.failedQuery != 0 &&
      !hooks::injectFault({FaultPoint::cacheQuery, shape.failedQuery, EIO, SIZE_MAX, {}}))
    GTEST_SKIP() << "no fault injection in this build";
  hooks::MediumCalls reads;
  const bool recorded = !shape.join && hooks::recordMediumReads(&reads);
  ASSERT_EQ(runInProcess({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  hooks::recordMediumReads(nullptr);
  hooks::resetFaults();
  std::vector<std::wstring> read{input};
  if (shape.join) {
    read = {dir / L"parts/in.bin_1", dir / L"parts/in.bin_4"};
    for (const std::wstring& piece : read) ASSERT_EQ(cachedBytes(piece, true), 0);
    ASSERT_EQ(runJoinInProcess({L"parts/in.bat"}).exitCode, join_exit::kSuccess);
    EXPECT_TRUE(readFile(dir / L"parts/in.bin") == bytes);
  }
  for (const std::wstring& file : read)
    EXPECT_EQ(cachedBytes(file), file == input ? cached : 0)
        << std::string(file.begin(), file.end());
  if (!recorded) return;
  ASSERT_EQ(reads.pastTheCache.size(), reads.offsets.size());
  for (size_t i = 0; i < reads.offsets.size(); ++i)
    EXPECT_EQ(reads.pastTheCache[i], reads.offsets[i] + reads.sizes[i] > uint64_t(cached))
        << "the read at " << reads.offsets[i];
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, UncachedReadsTest,
    ::testing::Values(UncachedShape{"Split", false}, UncachedShape{"Join", true},
                      UncachedShape{"SplitOfACachedInput", false, 3 * kMiB + 5},
                      UncachedShape{"SplitOfAPartlyCachedInput", false, kMiB},
                      // The query before the first read (the opening's query
                      // and switch come first).
                      UncachedShape{"SplitWhereAQueryFails", false, 0, 3}),
    [](const auto& info) { return std::string(info.param.name); });
