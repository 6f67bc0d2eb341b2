#include "transfer/block_handover.h"

#include <utility>

namespace transfer {

bool BlockHandover::awaitFreeSlot(size_t& slot) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return halted_ || slotsInUse_ < slots_; });
  if (halted_) return false;
  slot = static_cast<size_t>(blocksHanded_ % slots_);
  return true;
}

void BlockHandover::handOverBlock(uint32_t count) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto slot = static_cast<size_t>(blocksHanded_ % slots_);
  ++blocksHanded_;
  ++slotsInUse_;
  steps_.push_back({true, slot, count, nullptr, nullptr});
  changed_.notify_all();
}

void BlockHandover::handOverAction(Action action) {
  const std::lock_guard<std::mutex> lock(mutex_);
  steps_.push_back({false, 0, 0, std::move(action), nullptr});
  changed_.notify_all();
}

std::exception_ptr BlockHandover::awaitWritten() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return steps_.empty(); });
  return failure_;
}

void BlockHandover::stop() {
  const std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  changed_.notify_all();
}

bool BlockHandover::awaitBlockToHash(size_t& slot, uint32_t& count) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Actions, and every step once the run halted, need no hash.
    while (hashed_ < written_ + steps_.size()) {
      const Step& step = steps_[static_cast<size_t>(hashed_ - written_)];
      if (!halted_ && step.holdsSlot && !step.action && !step.hashFailure) {
        hashing_ = hashed_;
        slot = step.slot;
        count = step.count;
        return true;
      }
      ++hashed_;
      changed_.notify_all();
    }
    if (stopping_) return false;
    changed_.wait(lock);
  }
}

void BlockHandover::hashed(std::exception_ptr failed) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (hashed_ != hashing_) return;  // dropped while hashed: the run failed meanwhile
  if (failed) {
    steps_[static_cast<size_t>(hashed_ - written_)].hashFailure = std::move(failed);
    halted_ = true;
  }
  ++hashed_;
  changed_.notify_all();
}

BlockHandover::Work BlockHandover::awaitWork(Taken& taken) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (failure_) dropAfterFailure();
    if (!steps_.empty() && written_ < hashed_) {
      // Moved, not copied: a copy may allocate. The hasher is past the step.
      Step& step = steps_.front();
      taken.slot = step.slot;
      taken.count = step.count;
      if (step.hashFailure) {
        taken.hashFailure = std::move(step.hashFailure);
        return Work::failedHash;
      }
      if (!step.action) return Work::block;
      taken.action = std::move(step.action);
      return Work::action;
    }
    if (stopping_ && steps_.empty()) return Work::stop;
    changed_.wait(lock);
  }
}

void BlockHandover::done(std::exception_ptr failure) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (steps_.front().holdsSlot) --slotsInUse_;
  steps_.pop_front();
  ++written_;
  if (failure && !failure_) {
    failure_ = std::move(failure);
    halted_ = true;
  }
  changed_.notify_all();
}

void BlockHandover::dropAfterFailure() {
  for (const Step& step : steps_)
    if (step.holdsSlot) --slotsInUse_;
  written_ += steps_.size();
  if (hashed_ < written_) hashed_ = written_;
  steps_.clear();
  changed_.notify_all();
}

}  // namespace transfer
