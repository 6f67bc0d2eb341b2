#include "transfer/block_copy.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <memory>
#include <utility>

#include "common/job_failure.h"
#include "common/narrow_cast.h"
#include "fileio/file_io.h"
#include "hash/checked_digest.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "texts/shared_texts.h"

namespace transfer {

void failRead(const std::wstring& path, int error) {
  throw JobFailure(shared_texts::cannotRead(path, platform::systemErrorText(error)));
}

void failWrite(const std::wstring& path, const std::wstring& reason) {
  throw JobFailure(shared_texts::cannotWrite(path, reason));
}

void requireWritten(int written, size_t wanted, const std::wstring& path) {
  if (written >= 0 && static_cast<size_t>(written) == wanted) return;
  const std::wstring reason =
      written < 0 ? platform::systemErrorText(errno) : shared_texts::onlyWritten(written, wanted);
  failWrite(path, reason);
}

void requireClosed(FileIO_IF& file, const std::wstring& path) {
  if (!file.close()) failWrite(path, platform::systemErrorText(errno));
}

void requireFlushed(FileIO_IF& file, const std::wstring& path) {
  if (!file.flush()) failWrite(path, platform::systemErrorText(errno));
}

namespace {

// Ends the job when `error` (an errno value) failed the flush of the folder `path`.
void requireFolderFlush(const std::wstring& path, int error) {
  if (error != 0) failWrite(path.empty() ? L"." : path, platform::systemErrorText(error));
}

}  // namespace

void requireFolderFlushed(const std::wstring& path) {
  requireFolderFlush(path, platform::flushFolder(path));
}

void requireFolderFlushed(const platform::OutputFolder& folder) {
  requireFolderFlush(folder.path(), folder.flush());
}

std::mutex& consoleLock() {
  static std::mutex lock;
  return lock;
}

void Progress::advance(uint64_t bytes) {
  done_ += bytes;
  if (nextDot_ >= done_) return;
  nextDot_ += dotStep_;
  const std::lock_guard<std::mutex> printing(consoleLock());
  if (silenced_) return;
  printed_ = true;
  console_ << L'.' << std::flush;
}

BlockCopy::BlockCopy(Progress& progress, CheckedDigest& digest)
    : progress_(progress), digest_(digest) {}

BlockCopy::~BlockCopy() {
  if (!writer_.joinable()) {
    stopHasher();  // the writer could not be started
    return;
  }
  // Once the writer waits, the output is this thread's.
  if (!handover_.awaitWritten()) {
    try {
      completeStartedOutput();
    } catch (...) {
    }
  }
  handover_.stop();
  hasher_.join();
  writer_.join();
}

void BlockCopy::run(const std::function<void()>& job) {
  try {
    job();
  } catch (...) {
    fail(std::current_exception());
  }
  throwFirstFailure();
}

void BlockCopy::startThreads() {
  hasher_ = platform::startThread([this] { hashBlocks(); });
  writer_ =
      platform::startThread([this] { writeSteps(); });  // else the destructor stops the hasher
}

void BlockCopy::stopHasher() {
  if (!hasher_.joinable()) return;
  handover_.stop();
  hasher_.join();
}

void BlockCopy::allocateRing() {
  // Uninitialised: a small input touches only the pages it fills.
  const size_t blocks = size_t{kRingBlocks} + 1;
  size_t space = blocks * kBlockSize + platform::kMediumAlignment;
  ringMemory_.reset(new unsigned char[space]);
  void* start = ringMemory_.get();
  ring_ = static_cast<unsigned char*>(
      std::align(platform::kMediumAlignment, blocks * kBlockSize, start, space));
  blocks_ = std::make_unique<OutputBlocks>(ring_ + size_t{kRingBlocks} * kBlockSize);
}

uint64_t BlockCopy::copy(FileIO_IF& from, const std::wstring& fromPath, uint64_t most, Output to,
                         AtEnd atEnd) {
  const bool first = !writer_.joinable();
  if (first) startThreads();
  handover_.handOverAction([this, to = std::move(to)]() mutable { startOutput(to); });
  uint64_t done = 0;
  size_t slot = 0;
  try {
    // The ring is the writer's to make, once the first output is open, as
    // one thread would: then the reader may read into it.
    if (first) throwFirstFailure();
    while (!from.eof() && done < most) {
      if (!handover_.awaitFreeSlot(slot)) {
        throwFirstFailure();  // the run failed: it throws that failure
        break;
      }
      unsigned char* block = ring_ + slot * kBlockSize;
      const auto length = narrow_cast<uint32_t>(std::min<uint64_t>(kBlockSize, most - done));
      const int n = from.read(block, length);
      if (n < 0) failRead(fromPath, errno);
      if (n == 0) break;  // ended early: the caller compares what it got
      handover_.handOverBlock(static_cast<uint32_t>(n));
      done += static_cast<uint32_t>(n);
    }
  } catch (...) {
    fail(std::current_exception());
  }
  handover_.handOverAction([this, atEnd] { endOutput(atEnd); });
  return done;
}

void BlockCopy::closeOutput() {
  handover_.handOverAction([this] {
    const std::unique_ptr<FileIO_IF> file = std::move(created_);
    const Output closed = std::exchange(output_, Output{});
    if (file) requireClosed(*file, closed.path);
  });
}

void BlockCopy::fail(const std::exception_ptr& failure) {
  if (writer_.joinable()) {
    // In its turn: a failure before it is told instead.
    handover_.handOverAction(failingStep(failure));
    throwFirstFailure();  // throws: the failure above, or one before it
  }
  std::rethrow_exception(failure);
}

BlockHandover::Action BlockCopy::failingStep(const std::exception_ptr& failure) {
  return [this, failure] { failInTurn(failure, 0); };
}

void BlockCopy::failInTurn(const std::exception_ptr& failure, uint32_t counted) {
  // The bytes before it are written, as one thread would have.
  completeStartedOutput();
  if (counted != 0) progress_.advance(counted);
  std::rethrow_exception(failure);
}

void BlockCopy::completeStartedOutput() {
  if (blocks_ && blocks_->started()) blocks_->complete();
}

void BlockCopy::throwFirstFailure() {
  if (!writer_.joinable()) return;
  if (const std::exception_ptr failure = handover_.awaitWritten()) std::rethrow_exception(failure);
}

// The hasher thread's loop, from the first copy to the object's end.
void BlockCopy::hashBlocks() {
  size_t slot = 0;
  uint32_t count = 0;
  while (handover_.awaitBlockToHash(slot, count)) {
    try {
      digest_.add(ring_ + slot * kBlockSize, count);
      handover_.hashed();
    } catch (...) {
      // Told by the writer in its turn, which counts the block first, as
      // one thread would have; handed on without allocating.
      handover_.hashed(std::current_exception());
    }
  }
}

// The writer thread's loop, from the first copy to the object's end.
void BlockCopy::writeSteps() {
  for (;;) {
    BlockHandover::Taken taken;
    const BlockHandover::Work work = handover_.awaitWork(taken);
    if (work == BlockHandover::Work::stop) return;
    std::exception_ptr failure;
    try {
      if (work == BlockHandover::Work::action) {
        taken.action();
      } else if (work == BlockHandover::Work::failedHash) {
        failInTurn(taken.hashFailure, taken.count);
      } else {
        progress_.advance(taken.count);
        if (blocks_->started()) blocks_->write(ring_ + taken.slot * kBlockSize, taken.count);
      }
    } catch (...) {
      failure = std::current_exception();
      if (blocks_) blocks_->drop();
    }
    handover_.done(failure);
  }
}

void BlockCopy::startOutput(Output& to) {
  if (to.file != nullptr && to.file == output_.file) return;  // the same file, continued
  output_ = std::move(to);
  if (output_.create) {
    created_ = output_.create();
    output_.file = created_.get();
  }
  if (!ring_) allocateRing();
  if (output_.file != nullptr) blocks_->start(*output_.file, output_.path);
}

void BlockCopy::endOutput(AtEnd atEnd) {
  if (atEnd == AtEnd::leave || !blocks_ || !blocks_->started()) return;
  completeStartedOutput();
  if (atEnd == AtEnd::flush) requireFlushed(*output_.file, output_.path);
}

}  // namespace transfer
