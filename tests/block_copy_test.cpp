// The block loop as both tools drive it (a split's pieces of one input, a
// join's pieces into one output, a check without one), over fake files
// whose calls fail, fall short or wait for another thread: the bytes
// written, the dots, the failure told, and the order the three threads
// (the caller reading, the hasher, the writer) keep.
// A thread left waiting for a notify fails the test within seconds.
#include "transfer/block_copy.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sstream>

#include "common/job_failure.h"
#include "deadline.h"
#include "fake_files.h"
#include "hash/checked_digest.h"
#include "platform/platform.h"
#include "temp_dir.h"

namespace {

constexpr uint64_t kBlock = transfer::kBlockSize;

enum class Use { split, join, check };

struct LoopCase {
  std::string name;
  Use use;
  std::vector<uint64_t> pieces;  // each copy's bytes
  std::vector<Twist> twists;
  std::vector<Gate> gates;
  std::wstring line;              // the failure told ("": none)
  std::vector<uint64_t> written;  // bytes in each destination made
  size_t dots;
  uint64_t pastCache = 0;  // of those, the bytes written past the cache
};

void PrintTo(const LoopCase& c, std::ostream* out) { *out << c.name; }

Twist failing(FakeCall call, unsigned number, int error) { return {{call, number}, error}; }
Twist limited(FakeCall call, unsigned number, uint32_t bytes) { return {{call, number}, 0, bytes}; }
CallId read(unsigned number) { return {FakeCall::read, number}; }
CallId sectors(unsigned number) { return {FakeCall::sectors, number}; }
CallId hash(unsigned number) { return {FakeCall::hash, number}; }
CallId flushing(unsigned number) { return {FakeCall::flush, number}; }

std::wstring cannotRead(const std::wstring& path, int error) {
  return L"Cannot read \"" + path + L"\": " + platform::systemErrorText(error);
}
std::wstring cannotWrite(const std::wstring& path, const std::wstring& reason) {
  return L"Cannot write \"" + path + L"\": " + reason;
}
std::wstring cannotWrite(const std::wstring& path, int error) {
  return cannotWrite(path, platform::systemErrorText(error));
}
const std::wstring kChanged = L"changed";
const std::wstring kNoHash = L"Cannot compute the digest of \"in\": a block could not be hashed";

const std::vector<uint64_t> kSplit{5 * kBlock, kBlock + 5};  // 7 blocks
const std::vector<uint64_t> kJoin{kBlock + 5, 2 * kBlock};   // 4 blocks

LoopCase row(std::string name, Use use, std::vector<Twist> twists, std::wstring line,
             std::vector<uint64_t> written, size_t dots, uint64_t pastCache,
             std::vector<Gate> gates = {}) {
  return {std::move(name),
          use,
          use == Use::split ? kSplit : kJoin,
          std::move(twists),
          std::move(gates),
          std::move(line),
          std::move(written),
          dots,
          pastCache};
}

// A row whose pieces are `pieces`.
LoopCase shaped(LoopCase c, std::vector<uint64_t> pieces) {
  c.pieces = std::move(pieces);
  return c;
}

// Past the cache go whole sectors of a block that starts aligned, else whole
// blocks gathered, and at the end the whole sectors gathered: only a file's
// last bytes that fill no sector go the ordinary way.
std::vector<LoopCase> loopCases() {
  const Twist refused = failing(FakeCall::toMedium, 1, EINVAL);
  return {
      row("SplitWhole", Use::split, {}, L"", kSplit, 7, 6 * kBlock),
      row("SplitShortReadIsOneMoreBlock", Use::split, {limited(FakeCall::read, 1, 10)}, L"", kSplit,
          8, 6 * kBlock),
      row("SplitReadFails", Use::split, {failing(FakeCall::read, 3, EIO)}, cannotRead(L"in", EIO),
          {2 * kBlock}, 2, 2 * kBlock),
      row("SplitFalseEndOfFile", Use::split, {{read(2), 0, UINT32_MAX, true}}, kChanged, {kBlock},
          1, kBlock),
      row("SplitReadEndsEarly", Use::split, {limited(FakeCall::read, 7, 0)}, kChanged,
          {5 * kBlock, kBlock}, 6, 6 * kBlock),
      row("SplitHashFails", Use::split, {failing(FakeCall::hash, 2, EIO)}, kNoHash, {kBlock}, 2,
          kBlock),
      row("SplitShortWrite", Use::split, {limited(FakeCall::sectors, 2, 100)},
          cannotWrite(L"1", L"only 100 of 1048576 bytes were written"), {kBlock + 100}, 2,
          kBlock + 100),
      row("SplitCloseFails", Use::split, {failing(FakeCall::close, 1, EIO)}, cannotWrite(L"1", EIO),
          {5 * kBlock}, 5, 5 * kBlock),
      // The writer fails while the reader hashes the next block: the reader
      // stops, and nothing after the failed block is written.
      row("SplitWriteFailsWhileTheNextBlockIsHashed", Use::split,
          {failing(FakeCall::sectors, 1, ENOSPC)}, cannotWrite(L"1", ENOSPC), {0}, 1, 0,
          {{sectors(1), hash(2), true}, {hash(2), sectors(1)}}),
      // The ring flows across pieces: a piece is flushed while the next
      // one's first block is hashed, its first block read while the piece
      // before is written.
      row("SplitPieceFlushedWhileTheNextIsHashed", Use::split, {}, L"", kSplit, 7, 6 * kBlock,
          {{flushing(1), hash(6), true}}),
      row("SplitFlushFails", Use::split, {failing(FakeCall::flush, 1, EIO)}, cannotWrite(L"1", EIO),
          {5 * kBlock}, 5, 5 * kBlock),
      row("JoinNextPieceReadWhileOneIsWritten", Use::join, {}, L"", {3 * kBlock + 5}, 4, 3 * kBlock,
          {{sectors(1), read(3), true}}),
      shaped(row("SplitTailOfOneByte", Use::split, {}, L"", {kBlock + 1}, 2, kBlock), {kBlock + 1}),
      shaped(
          row("SplitPiecesOfExactlyOneBlock", Use::split, {}, L"", {kBlock, kBlock}, 2, 2 * kBlock),
          {kBlock, kBlock}),
      row("SplitPastTheCacheRefusedForPiece1", Use::split, {refused}, L"", kSplit, 7, kBlock),
      row("SplitWritePastTheCacheFailsMidFile", Use::split, {failing(FakeCall::sectors, 3, EIO)},
          cannotWrite(L"1", EIO), {2 * kBlock}, 3, 2 * kBlock),
      row("JoinWhole", Use::join, {}, L"", {3 * kBlock + 5}, 4, 3 * kBlock),
      row("JoinReadEndsEarly", Use::join, {limited(FakeCall::read, 2, 0)}, kChanged, {kBlock}, 1,
          kBlock),
      shaped(row("JoinPieceLongerThanPlanned", Use::join, {}, kChanged, {2 * kBlock + 5}, 3,
                 2 * kBlock),
             {kBlock + 5, kBlock}),  // the stream has a block more
      // A read fails while the block before it waits to be written: that
      // block is written all the same, as one thread would have.
      row("JoinReadFailsWhileAWriteIsPending", Use::join, {failing(FakeCall::read, 2, EIO)},
          cannotRead(L"1", EIO), {kBlock}, 1, kBlock, {{sectors(1), read(2)}}),
      // A write fails, then the read after it: the write's line is told, its
      // block read first, as one thread would have told it.
      row("JoinWriteFailsThenTheNextRead", Use::join,
          {failing(FakeCall::sectors, 1, ENOSPC), failing(FakeCall::read, 2, EIO)},
          cannotWrite(L"out", ENOSPC), {0}, 1, 0, {{read(2), sectors(1)}}),
      row("JoinWriteFailsInTheSecondPiece", Use::join, {failing(FakeCall::sectors, 2, EFBIG)},
          cannotWrite(L"out", EFBIG), {kBlock}, 3, kBlock),
      row("JoinCloseFails", Use::join, {failing(FakeCall::close, 1, EIO)}, cannotWrite(L"out", EIO),
          {3 * kBlock + 5}, 4, 3 * kBlock),
      shaped(row("JoinPiecesEndInsideBlocks", Use::join, {}, L"", {3 * kBlock + 5}, 5, 3 * kBlock),
             {kBlock / 2 + 3, kBlock + 7, 3 * kBlock / 2 - 5}),
      // A read or a hash fails after a piece ended inside a block: the
      // bytes gathered before it are written all the same.
      shaped(row("JoinReadFailsWithBytesGathered", Use::join, {failing(FakeCall::read, 3, EIO)},
                 cannotRead(L"2", EIO), {3 * kBlock / 2 + 3}, 2, 3 * kBlock / 2),
             {kBlock / 2 + 3, kBlock + 7, 3 * kBlock / 2 - 5}),
      shaped(row("JoinHashFailsWithBytesGathered", Use::join, {failing(FakeCall::hash, 3, EIO)},
                 kNoHash, {3 * kBlock / 2 + 3}, 3, 3 * kBlock / 2),
             {kBlock / 2 + 3, kBlock + 7, 3 * kBlock / 2 - 5}),
      // The job's own failure (a piece longer than planned) comes before
      // the write that failed earlier is told: the write's line is told.
      shaped(row("JoinWriteFailsThenThePieceIsFoundLonger", Use::join,
                 {failing(FakeCall::sectors, 1, ENOSPC)}, cannotWrite(L"out", ENOSPC), {0}, 1, 0,
                 {{sectors(1), read(3)}}),
             {kBlock + 5, kBlock}),
      row("JoinPastTheCacheRefused", Use::join, {refused}, L"", {3 * kBlock + 5}, 4, 0),
      row("JoinTailFails", Use::join, {failing(FakeCall::write, 1, ENOSPC)},
          cannotWrite(L"out", ENOSPC), {3 * kBlock}, 4, 3 * kBlock),
      row("CheckWhole", Use::check, {}, L"", {}, 4, 0),
      row("CheckReadFails", Use::check, {failing(FakeCall::read, 4, EIO)}, cannotRead(L"2", EIO),
          {}, 3, 0),
      row("CheckHashFails", Use::check, {failing(FakeCall::hash, 3, EIO)}, kNoHash, {}, 3, 0),
  };
}

class BlockCopyTest : public ::testing::TestWithParam<LoopCase> {
 protected:
  // Past a gate's wait: a gate that gives up is told as such.
  Deadline deadline_{std::chrono::seconds(10)};
  // Drives one BlockCopy as the tool of `c.use` does; returns the failure told.
  std::wstring drive(const LoopCase& c, const std::string& stream, FakeFiles& files);

  std::wostringstream console;
};

std::wstring BlockCopyTest::drive(const LoopCase& c, const std::string& stream, FakeFiles& files) {
  uint64_t total = 0;
  for (const uint64_t piece : c.pieces) total += piece;
  transfer::Progress progress(console, total);
  CheckedDigest digest(L"in", files.hash());
  // A join's output outlives the loop, whose writer may still use it.
  const auto out = c.use == Use::join ? files.destination() : nullptr;
  try {
    transfer::BlockCopy blocks(progress, digest);
    if (c.use == Use::split) {
      const auto in = files.source(stream);
      blocks.run([&] {
        for (size_t i = 0; i < c.pieces.size(); ++i) {
          const transfer::Output piece{nullptr, [&files] { return files.destination(); },
                                       std::to_wstring(i + 1)};
          if (blocks.copy(*in, L"in", c.pieces[i], piece, transfer::BlockCopy::AtEnd::flush) !=
              c.pieces[i])
            throw JobFailure(kChanged);
          blocks.closeOutput();
        }
      });
      return L"";
    }
    uint64_t at = 0;
    blocks.run([&] {
      for (size_t i = 0; i < c.pieces.size(); ++i) {
        // The last piece holds the rest of the stream: more than planned, if so.
        const auto piece = files.source(i + 1 < c.pieces.size() ? stream.substr(at, c.pieces[i])
                                                                : stream.substr(at));
        const auto atEnd = i + 1 < c.pieces.size() ? transfer::BlockCopy::AtEnd::leave
                                                   : transfer::BlockCopy::AtEnd::complete;
        if (blocks.copy(*piece, std::to_wstring(i + 1), c.pieces[i], {out.get(), nullptr, L"out"},
                        atEnd) != c.pieces[i] ||
            !piece->eof())
          throw JobFailure(kChanged);
        at += c.pieces[i];
      }
    });
    if (out) transfer::requireClosed(*out, L"out");
  } catch (const JobFailure& failure) {
    return failure.line();
  }
  return L"";
}

TEST_P(BlockCopyTest, MovesTheBytesAsOneThreadWould) {
  const LoopCase& c = GetParam();
  if (!c.gates.empty() && transfer::kRingBlocks < 2)
    GTEST_SKIP() << "a ring of one block overlaps no read with a write";
  FakeFiles files(c.twists, c.gates);
  const std::string stream = patternBytes((c.use == Use::split ? 6 : 3) * kBlock + 5, 5);
  EXPECT_EQ(drive(c, stream, files), c.line);
  EXPECT_FALSE(files.gaveUp()) << "a call waited for one that never came";
  EXPECT_EQ(files.misalignedReads(), 0u) << "a block of the ring is not aligned";
  EXPECT_EQ(files.misalignedWrites(), 0u) << "a write the medium would refuse";
  EXPECT_EQ(files.pastCache(), c.pastCache);
  EXPECT_EQ(console.str(), std::wstring(c.dots, L'.'));
  ASSERT_EQ(files.destinations(), c.written.size());
  uint64_t at = 0;
  for (size_t i = 0; i < c.written.size(); ++i) {
    EXPECT_TRUE(files.written(i) == stream.substr(at, c.written[i])) << "destination " << i;
    at += c.use == Use::split ? c.pieces[i] : 0;
  }
  // The hash takes each block before any of it is written, and the reader
  // stays within the ring's reach of the writer.
  EXPECT_FALSE(files.writtenBeforeHashed());
  EXPECT_EQ(stream.compare(0, files.fed().size(), files.fed()), 0) << "hashed out of order";
  if (c.use != Use::check) {
    EXPECT_LE(
        files.calls(FakeCall::read),
        files.calls(FakeCall::write) + files.calls(FakeCall::sectors) + transfer::kRingBlocks);
  }
}

INSTANTIATE_TEST_SUITE_P(Loops, BlockCopyTest, ::testing::ValuesIn(loopCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
