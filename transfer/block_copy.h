// What both tools do with bytes on their way from one file to another: the
// block loop, the progress dots and the lines that tell a failed transfer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "transfer/block_handover.h"
#include "transfer/output_blocks.h"

class CheckedDigest;
class FileIO_IF;

namespace transfer {

// Settings the benchmark builds others of (FILESPLIT_BLOCK_SIZE, FILESPLIT_RING_BLOCKS).
#ifndef FILESPLIT_BLOCK_SIZE
#define FILESPLIT_BLOCK_SIZE 1048576
#endif
#ifndef FILESPLIT_RING_BLOCKS
#define FILESPLIT_RING_BLOCKS 3
#endif

/// The most bytes one read asks for: the size of one block of the ring.
constexpr uint32_t kBlockSize = FILESPLIT_BLOCK_SIZE;
static_assert(kBlockSize % platform::kMediumAlignment == 0,
              "each block of the ring starts where a read from the medium may start");
/// The blocks in the ring: at most one being read, the rest written or
/// waiting to be (1: the reader waits for each write, as one thread would).
constexpr unsigned kRingBlocks = FILESPLIT_RING_BLOCKS;

/// Ends the job: `path` could not be read, for the errno value `error`.
[[noreturn]] void failRead(const std::wstring& path, int error);

/// Ends the job: `path` could not be written, for `reason`.
[[noreturn]] void failWrite(const std::wstring& path, const std::wstring& reason);

/// Ends the job when `written` (a write's result, -1 with errno set on an
/// error) of `wanted` bytes reached `path`.
void requireWritten(int written, size_t wanted, const std::wstring& path);

/// Ends the job when `file`, named `path`, cannot be flushed to the medium.
void requireFlushed(FileIO_IF& file, const std::wstring& path);

/// Ends the job when the entries of the folder `path` cannot be flushed to
/// the medium ("Cannot write" naming the folder).
void requireFolderFlushed(const std::wstring& path);

/// Ends the job when closing `file` reports that `path` was not stored
/// whole, as a network file system may only tell then.
void requireClosed(FileIO_IF& file, const std::wstring& path);

/// Held while anything is printed on a console that more than one thread
/// prints on: the dots come from the writer thread, and a line may come from
/// the thread that handles the user's interrupt.
std::mutex& consoleLock();

/// The row of dots over a transfer of `total` bytes: at most one dot per
/// block, one each time the bytes done pass the next fiftieth of the total
/// (every block below 50 blocks), each flushed at once.
class Progress {
 public:
  Progress(std::wostream& console, uint64_t total) : console_(console), dotStep_(total / 50) {}

  /// Counts `bytes` more done and prints the dot that falls due.
  void advance(uint64_t bytes);
  /// Whether a dot was printed, so that a line after them starts afresh.
  bool printed() const { return printed_; }

 private:
  std::wostream& console_;
  uint64_t dotStep_;
  uint64_t nextDot_ = 0;
  uint64_t done_ = 0;
  bool printed_ = false;
};

/// One source and at most one destination at a time, moved in blocks of at
/// most kBlockSize bytes: the calling thread reads and hashes each block, a
/// writer thread of the object's own writes the block read before it, through
/// a ring of kRingBlocks blocks allocated at the first copy and kept for the
/// object's life. A destination is written past the cache where it takes
/// such writes, its last bytes that fill no sector the ordinary way at its
/// end (OutputBlocks). To a caller it is the one-thread loop: the same
/// bytes, dots, failures and files, every write done when copy returns (but
/// the bytes of a destination left open, which its next copy or the
/// object's end writes).
class BlockCopy {
 public:
  explicit BlockCopy(Progress& progress);
  /// Writes what a destination left open holds back (a failure there is not
  /// told: the job failed already), then stops and joins the writer thread:
  /// none outlives the object.
  ~BlockCopy();
  BlockCopy(const BlockCopy&) = delete;
  BlockCopy& operator=(const BlockCopy&) = delete;

  /// Reads `from` (named `fromPath` in messages) block by block until its
  /// end or until `most` bytes were read; each block counts on the progress
  /// (its dot printed as the writer takes it), goes to `digest`, then to `to`
  /// when given (named `toPath`), in the order read. Returns the bytes read,
  /// once every block was written. Throws the failure that comes first in
  /// that order (JobFailure for a failed read, hash or write), once the
  /// blocks read before it were written and no more are: the files hold what
  /// one thread would have written.
  ///
  /// With `atEnd` leave, `to` stays open for the next copy, which must name
  /// it again; complete, its bytes are all written when copy returns; flush,
  /// they are also flushed to the medium by the writer, a failure thrown as
  /// a failed write. After a failed read or hash, the bytes before it are
  /// written whatever `atEnd` says, and nothing is flushed.
  enum class AtEnd { leave, complete, flush };
  uint64_t copy(FileIO_IF& from, const std::wstring& fromPath, uint64_t most, CheckedDigest& digest,
                FileIO_IF* to, const std::wstring& toPath, AtEnd atEnd = AtEnd::leave);

 private:
  uint64_t readBlocks(FileIO_IF& from, const std::wstring& fromPath, uint64_t most,
                      CheckedDigest& digest, uint32_t& unhashed);
  void writeBlocks();
  void writeBlock(const unsigned char* block, uint32_t count);
  void endOutput();

  Progress& progress_;
  std::unique_ptr<unsigned char[]> ringMemory_;
  // The ring's first block: in ringMemory_, at a multiple of
  // platform::kMediumAlignment, so that each block can take reads from the
  // medium and be written to it (platform.h). A block more after the ring
  // gathers what the output writes past the cache.
  unsigned char* ring_ = nullptr;
  BlockHandover handover_{kRingBlocks};
  // The copy's destination, set before its first block is handed over.
  FileIO_IF* to_ = nullptr;
  const std::wstring* toPath_ = nullptr;
  AtEnd atEnd_ = AtEnd::leave;
  bool readFailed_ = false;  // the copy's read or hash failed; set before its end is handed over
  std::unique_ptr<OutputBlocks> output_;  // the writer's, made with the ring
  std::thread writer_;                    // started by the first copy
};

}  // namespace transfer
