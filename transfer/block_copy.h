// What both tools do with bytes on their way from one file to another: the
// block loop, the progress dots and the lines that tell a failed transfer.
#pragma once

#include <cstdint>
#include <functional>
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
namespace platform {
class OutputFolder;
}

namespace transfer {

// Settings the benchmark builds others of (FILESPLIT_BLOCK_SIZE, FILESPLIT_RING_BLOCKS).
#ifndef FILESPLIT_BLOCK_SIZE
#define FILESPLIT_BLOCK_SIZE 1048576
#endif
#ifndef FILESPLIT_RING_BLOCKS
#define FILESPLIT_RING_BLOCKS 4
#endif

/// The most bytes one read asks for: the size of one block of the ring.
constexpr uint32_t kBlockSize = FILESPLIT_BLOCK_SIZE;
static_assert(kBlockSize % platform::kMediumAlignment == 0,
              "each block of the ring starts where a read from the medium may start");
/// The blocks in the ring: one being read, one hashed, one written, the rest
/// waiting (1: each thread waits for the others, as one thread would).
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
/// The same for the held output folder `folder`, through what is held.
void requireFolderFlushed(const platform::OutputFolder& folder);

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
  /// Prints no more dots, for a run that ends while its writer still goes
  /// on. Call with consoleLock() held.
  void silence() { silenced_ = true; }
  /// Whether a dot was printed, so that a line after them starts afresh.
  bool printed() const { return printed_; }

 private:
  std::wostream& console_;
  uint64_t dotStep_;
  uint64_t nextDot_ = 0;
  uint64_t done_ = 0;
  bool printed_ = false;
  bool silenced_ = false;  // under consoleLock()
};

/// Where the bytes of a copy go: nowhere, an open file kept open from copy
/// to copy (`file`), or a file the writer creates in its turn (`create`),
/// owned by the object until closeOutput. `path` names it in messages.
struct Output {
  FileIO_IF* file = nullptr;
  std::function<std::unique_ptr<FileIO_IF>()> create;
  std::wstring path;
};

/// Sources copied one after another into at most one destination at a time,
/// in blocks of at most kBlockSize bytes through a ring of kRingBlocks
/// blocks, by three threads: the caller's reads each block, a hasher of the
/// object's own feeds it to the digest, a writer of its own counts it on the
/// progress and writes it. The ring flows across copies: a copy returns once
/// its bytes were read, and the writer ends one output (flush and close
/// included) while the next copy's blocks are read and hashed. A destination
/// is written past the cache where it takes such writes (OutputBlocks).
///
/// To a caller it is the one-thread loop: the same bytes, dots, files and
/// failure, as long as every failure of the caller's own goes through run().
/// The failure told is the first in the order one thread meets them: a
/// failed write of a block read before a failed read wins, and nothing read
/// after a failure is written.
class BlockCopy {
 public:
  BlockCopy(Progress& progress, CheckedDigest& digest);
  /// Waits for what was handed on, writes what a destination left open holds
  /// back (a failure there is not told: the job failed already), then stops
  /// and joins the threads: none outlives the object.
  ~BlockCopy();
  BlockCopy(const BlockCopy&) = delete;
  BlockCopy& operator=(const BlockCopy&) = delete;

  /// Runs `job`, the caller's copies, then waits until every byte it read is
  /// hashed and written and every output ended as asked. A failure of the
  /// job's own (a check of its own, a source it could not open) comes after
  /// every step before it, as one thread would meet it. Throws the first
  /// failure in that order.
  void run(const std::function<void()>& job);

  /// Reads `from` (named `fromPath` in messages) block by block until its
  /// end or until `most` bytes were read, for `to`, which takes them after
  /// those of the copy before it when it is the same open file. Returns the
  /// bytes read; their hash and writes may be under way still. Throws once
  /// a read fails, or the run failed before (the first failure in order).
  ///
  /// With `atEnd` leave, `to` stays open for the next copy; complete, its
  /// bytes are all written; flush, they are also flushed to the medium, a
  /// failure thrown as a failed write. After a failed read or hash, the
  /// bytes before it are written whatever `atEnd` says, and nothing is
  /// flushed.
  enum class AtEnd { leave, complete, flush };
  uint64_t copy(FileIO_IF& from, const std::wstring& fromPath, uint64_t most, Output to,
                AtEnd atEnd = AtEnd::leave);

  /// Closes the output the writer created for the copy before, in its turn
  /// ("Cannot write" when the close reports a failure).
  void closeOutput();

 private:
  /// Starts the hasher and the writer; throws platform::ThreadStartFailure
  /// when one cannot be started.
  void startThreads();
  /// Stops and joins the hasher when it runs alone.
  void stopHasher();
  void allocateRing();
  [[noreturn]] void fail(const std::exception_ptr& failure);
  void throwFirstFailure();
  // The writer's step for the reader's `failure`.
  BlockHandover::Action failingStep(const std::exception_ptr& failure);
  // Fails in the writer's turn, after `counted` bytes more were counted on
  // the progress by one thread.
  [[noreturn]] void failInTurn(const std::exception_ptr& failure, uint32_t counted);
  void completeStartedOutput();
  void hashBlocks();
  void writeSteps();
  void startOutput(Output& to);
  void endOutput(AtEnd atEnd);

  Progress& progress_;
  CheckedDigest& digest_;
  std::unique_ptr<unsigned char[]> ringMemory_;
  // The ring's first block: in ringMemory_, at a multiple of
  // platform::kMediumAlignment, so that each block can take reads from the
  // medium and be written to it (platform.h). A block more after the ring
  // gathers what the output writes past the cache.
  unsigned char* ring_ = nullptr;
  BlockHandover handover_{kRingBlocks};
  // The writer's: the output its blocks go to, and the one it created; its
  // writes (made with the ring).
  Output output_;
  std::unique_ptr<FileIO_IF> created_;
  std::unique_ptr<OutputBlocks> blocks_;
  std::thread hasher_;  // both started by the first copy
  std::thread writer_;
};

}  // namespace transfer
