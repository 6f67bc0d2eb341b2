#include "transfer/block_copy.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <memory>

#include "common/in_quotes.h"
#include "common/job_failure.h"
#include "common/narrow_cast.h"
#include "fileio/file_io.h"
#include "hash/checked_digest.h"
#include "platform/platform.h"

namespace transfer {

void failRead(const std::wstring& path, int error) {
  throw JobFailure(L"Cannot read " + inQuotes(path) + L": " + platform::systemErrorText(error));
}

void failWrite(const std::wstring& path, const std::wstring& reason) {
  throw JobFailure(L"Cannot write " + inQuotes(path) + L": " + reason);
}

void requireWritten(int written, size_t wanted, const std::wstring& path) {
  if (written >= 0 && static_cast<size_t>(written) == wanted) return;
  const std::wstring reason = written < 0 ? platform::systemErrorText(errno)
                                          : L"only " + std::to_wstring(written) + L" of " +
                                                std::to_wstring(wanted) + L" bytes were written";
  failWrite(path, reason);
}

void requireClosed(FileIO_IF& file, const std::wstring& path) {
  if (!file.close()) failWrite(path, platform::systemErrorText(errno));
}

void requireFlushed(FileIO_IF& file, const std::wstring& path) {
  if (!file.flush()) failWrite(path, platform::systemErrorText(errno));
}

void requireFolderFlushed(const std::wstring& path) {
  const int error = platform::flushFolder(path);
  if (error != 0) failWrite(path.empty() ? L"." : path, platform::systemErrorText(error));
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
  printed_ = true;
  console_ << L'.' << std::flush;
}

BlockCopy::BlockCopy(Progress& progress) : progress_(progress) {}

BlockCopy::~BlockCopy() {
  if (!writer_.joinable()) return;
  // The writer waits between copies: the output is this thread's now.
  try {
    output_->complete();
  } catch (...) {
  }
  handover_.stop();
  writer_.join();
}

uint64_t BlockCopy::copy(FileIO_IF& from, const std::wstring& fromPath, uint64_t most,
                         CheckedDigest& digest, FileIO_IF* to, const std::wstring& toPath,
                         AtEnd atEnd) {
  if (ring_ == nullptr) {
    // Uninitialised: a small input touches only the pages it fills.
    const size_t blocks = size_t{kRingBlocks} + 1;
    size_t space = blocks * kBlockSize + platform::kMediumAlignment;
    ringMemory_.reset(new unsigned char[space]);
    void* start = ringMemory_.get();
    ring_ = static_cast<unsigned char*>(
        std::align(platform::kMediumAlignment, blocks * kBlockSize, start, space));
    output_ = std::make_unique<OutputBlocks>(ring_ + size_t{kRingBlocks} * kBlockSize);
  }
  if (!writer_.joinable()) writer_ = std::thread([this] { writeBlocks(); });
  to_ = to;
  toPath_ = &toPath;
  atEnd_ = atEnd;
  readFailed_ = false;
  uint64_t done = 0;
  uint32_t unhashed = 0;  // a block read whose hash failed
  std::exception_ptr readFailure;
  try {
    done = readBlocks(from, fromPath, most, digest, unhashed);
  } catch (...) {
    readFailure = std::current_exception();
    readFailed_ = true;
  }
  // A write failure came first: its block was read before the reader's.
  if (const std::exception_ptr writeFailure = handover_.endCopy())
    std::rethrow_exception(writeFailure);
  if (readFailure) {
    if (unhashed != 0) progress_.advance(unhashed);  // one thread counted it before hashing
    std::rethrow_exception(readFailure);
  }
  return done;
}

uint64_t BlockCopy::readBlocks(FileIO_IF& from, const std::wstring& fromPath, uint64_t most,
                               CheckedDigest& digest, uint32_t& unhashed) {
  uint64_t done = 0;
  size_t slot = 0;
  while (!from.eof() && done < most && handover_.awaitFreeSlot(slot)) {
    unsigned char* block = ring_ + slot * kBlockSize;
    const auto length = narrow_cast<uint32_t>(std::min<uint64_t>(kBlockSize, most - done));
    const int n = from.read(block, length);
    if (n < 0) failRead(fromPath, errno);
    if (n == 0) break;  // ended early: the caller compares what it got
    const auto count = static_cast<uint32_t>(n);
    unhashed = count;
    digest.add(block, count);
    unhashed = 0;
    handover_.handOver(count);
    done += count;
  }
  return done;
}

// The writer thread's loop, from the first copy to the object's end.
void BlockCopy::writeBlocks() {
  size_t slot = 0;
  uint32_t count = 0;
  bool failedInCopy = false;  // nothing more to write or flush after a failed write
  for (;;) {
    const BlockHandover::Work work = handover_.awaitWork(slot, count);
    if (work == BlockHandover::Work::stop) return;
    std::exception_ptr failure;
    try {
      if (work == BlockHandover::Work::block)
        writeBlock(ring_ + slot * kBlockSize, count);
      else if (!failedInCopy)
        endOutput();
    } catch (...) {
      failure = std::current_exception();
      failedInCopy = true;
      output_->drop();
    }
    if (work == BlockHandover::Work::endOfCopy) failedInCopy = false;
    handover_.done(failure);
  }
}

void BlockCopy::writeBlock(const unsigned char* block, uint32_t count) {
  progress_.advance(count);
  if (to_ == nullptr) return;
  if (!output_->started()) output_->start(*to_, *toPath_);
  output_->write(block, count);
}

// At the end of a copy whose blocks were all written.
void BlockCopy::endOutput() {
  if (to_ == nullptr || (atEnd_ == AtEnd::leave && !readFailed_)) return;
  output_->complete();
  if (atEnd_ == AtEnd::flush && !readFailed_) requireFlushed(*to_, *toPath_);
}

}  // namespace transfer
