// The meeting point of the block loop's two threads: which blocks of the
// ring the reader handed over, which the writer is done with, and the
// writer's first failure.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <vector>

namespace transfer {

/// Hands blocks, by their slot in a ring of `slots`, from one reading thread
/// to one writing thread in the order read, for one copy after another.
/// After the writer's first failure in a copy, the blocks handed over later
/// are dropped unwritten and the reader is told to stop.
class BlockHandover {
 public:
  explicit BlockHandover(unsigned slots) : counts_(slots) {}

  // ---- The reader's side.

  /// Waits until a slot is free and stores it in `slot`; false, at once,
  /// when the writer failed in this copy.
  bool awaitFreeSlot(size_t& slot);
  /// Hands the slot last given by awaitFreeSlot, holding `count` bytes, to
  /// the writer.
  void handOver(uint32_t count);
  /// Ends the copy: waits until the writer is done with every block handed
  /// over and with the end itself. Returns the writer's failure in this copy
  /// (null: none) and readies the handover for the next copy.
  std::exception_ptr endCopy();
  /// Tells the writer to return once it waits for work (between copies).
  void stop();

  // ---- The writer's side.

  /// What the writer is to do next.
  enum class Work { block, endOfCopy, stop };
  /// Waits for work; for a block, stores its slot and byte count.
  Work awaitWork(size_t& slot, uint32_t& count);
  /// The block or end of copy awaitWork gave last is done, having failed
  /// with `failure` (null: it did not).
  void done(std::exception_ptr failure);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint32_t> counts_;  // the bytes in each slot handed over
  uint64_t handed_ = 0;           // blocks handed over in this copy
  uint64_t finished_ = 0;         // of those, blocks written or dropped
  bool endPending_ = false;       // the reader ended the copy; the writer has yet to
  bool stopping_ = false;
  std::exception_ptr failure_;  // the writer's first in this copy
};

}  // namespace transfer
