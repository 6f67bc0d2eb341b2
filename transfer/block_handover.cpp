#include "transfer/block_handover.h"

#include <utility>

namespace transfer {

bool BlockHandover::awaitFreeSlot(size_t& slot) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return failure_ || handed_ - finished_ < counts_.size(); });
  if (failure_) return false;
  slot = static_cast<size_t>(handed_ % counts_.size());
  return true;
}

void BlockHandover::handOver(uint32_t count) {
  const std::lock_guard<std::mutex> lock(mutex_);
  counts_[static_cast<size_t>(handed_ % counts_.size())] = count;
  ++handed_;
  changed_.notify_all();
}

std::exception_ptr BlockHandover::endCopy() {
  std::unique_lock<std::mutex> lock(mutex_);
  endPending_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !endPending_; });
  handed_ = 0;
  finished_ = 0;
  return std::exchange(failure_, nullptr);
}

void BlockHandover::stop() {
  const std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  changed_.notify_all();
}

BlockHandover::Work BlockHandover::awaitWork(size_t& slot, uint32_t& count) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (failure_) finished_ = handed_;  // what comes after a failed block is not written
    if (finished_ < handed_) {
      slot = static_cast<size_t>(finished_ % counts_.size());
      count = counts_[slot];
      return Work::block;
    }
    if (endPending_) return Work::endOfCopy;
    if (stopping_) return Work::stop;
    changed_.wait(lock);
  }
}

void BlockHandover::done(std::exception_ptr failure) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!failure_) failure_ = std::move(failure);
  // Blocks come before the end: with none left, this was the end.
  if (finished_ < handed_) {
    ++finished_;
  } else {
    endPending_ = false;
  }
  changed_.notify_all();
}

}  // namespace transfer
