// The meeting point of the block loop's three threads: the steps of the run
// in the order one thread would take them, which of them the hasher is
// past, which the writer is done with, and the run's first failure.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace transfer {

/// Hands the steps of a run from one reading thread through one hashing
/// thread to one writing thread, in the order read. A step is a block, by
/// its slot in a ring of `slots`, or an action the writer runs in its turn
/// (start or end an output, or fail). The hasher takes only blocks; the
/// writer takes a step once the hasher is past it. After the run's first
/// failure every later step is dropped, and the reader is told to stop.
/// Nothing the hasher's or the writer's side calls allocates: a failure to
/// allocate there could not be caught and told.
class BlockHandover {
 public:
  using Action = std::function<void()>;

  explicit BlockHandover(unsigned slots) : slots_(slots) {}

  // ---- The reader's side.

  /// Waits until a slot is free and stores it in `slot`; false, at once,
  /// once the run failed (a hash or a step of the writer's).
  bool awaitFreeSlot(size_t& slot);
  /// Hands the slot last given by awaitFreeSlot, holding `count` bytes, on.
  void handOverBlock(uint32_t count);
  /// Hands `action` on, for the writer to run after every step before it.
  void handOverAction(Action action);
  /// Waits until the writer is done with every step handed over. Returns
  /// the run's first failure (null: none).
  std::exception_ptr awaitWritten();
  /// Tells the hasher and the writer to return once they wait for work.
  void stop();

  // ---- The hasher's side.

  /// Waits for the next block to hash and stores its slot and byte count;
  /// false once stopped with nothing left to hash.
  bool awaitBlockToHash(size_t& slot, uint32_t& count);
  /// The block awaitBlockToHash gave last is hashed. With `failed` set, the
  /// writer is given that failure in its place (Work::failedHash), and no
  /// later block is hashed.
  void hashed(std::exception_ptr failed = nullptr);

  // ---- The writer's side.

  /// What the writer is to do next.
  enum class Work { block, action, failedHash, stop };
  /// What the writer is given with its work.
  struct Taken {
    size_t slot = 0;                 // a block's
    uint32_t count = 0;              // a block's byte count, or a failed hash's
    Action action;                   // an action
    std::exception_ptr hashFailure;  // a failed hash's failure
  };
  /// Waits for work and moves what it needs into `taken`.
  Work awaitWork(Taken& taken);
  /// The step awaitWork gave last is done, having failed with `failure`
  /// (null: it did not).
  void done(std::exception_ptr failure);

 private:
  struct Step {
    bool holdsSlot;  // a block, its slot in use until the writer is done
    size_t slot;
    uint32_t count;
    Action action;                   // null for a block still to be written
    std::exception_ptr hashFailure;  // a block whose hash failed
  };
  void handOver(Step step);
  // Drops the steps after a failure (the lock held).
  void dropAfterFailure();

  const unsigned slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Step> steps_;  // handed over, the writer not done with them
  uint64_t written_ = 0;    // steps the writer is done with: steps_[0] is the next
  uint64_t hashed_ = 0;     // steps the hasher is past
  uint64_t hashing_ = 0;    // the step the hasher took last
  uint64_t blocksHanded_ = 0;
  unsigned slotsInUse_ = 0;
  bool halted_ = false;  // a hash or a write failed: read and hash no more
  bool stopping_ = false;
  std::exception_ptr failure_;  // the run's first, in the order of the steps
};

}  // namespace transfer
