#include "transfer/output_blocks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fileio/file_io.h"
#include "platform/platform.h"
#include "transfer/block_copy.h"

namespace transfer {

namespace {

bool aligned(const unsigned char* bytes) {
  return reinterpret_cast<uintptr_t>(bytes) % platform::kMediumAlignment == 0;
}

}  // namespace

void OutputBlocks::start(FileIO_IF& file, const std::wstring& path) {
  file_ = &file;
  path_ = &path;
  held_ = 0;
  written_ = 0;
  pastCache_ = file.writeToMedium();
}

void OutputBlocks::write(const unsigned char* bytes, uint32_t count) {
  if (!pastCache_) return writeThroughCache(bytes, count);
  if (held_ == 0 && aligned(bytes)) {
    const uint32_t whole = count / platform::kMediumAlignment * platform::kMediumAlignment;
    if (whole > 0) writeSectors(bytes, whole);
    bytes += whole;
    count -= whole;
  }
  // Once a run ended inside a sector, every later byte is out of step with
  // the sectors of the caller's buffers: they all go through gathered_.
  while (count > 0) {
    const uint32_t taken = std::min(count, kBlockSize - held_);
    std::memcpy(gathered_ + held_, bytes, taken);
    held_ += taken;
    bytes += taken;
    count -= taken;
    if (held_ < kBlockSize) break;
    writeSectors(gathered_, kBlockSize);
    held_ = 0;
  }
}

void OutputBlocks::complete() {
  if (file_ == nullptr) return;
  if (pastCache_ && held_ > 0) {
    const uint32_t whole = held_ / platform::kMediumAlignment * platform::kMediumAlignment;
    if (whole > 0) writeSectors(gathered_, whole);
    // gathered_ holds a whole sector after them, which the writer may pad.
    const uint32_t rest = held_ - whole;
    if (rest > 0) requireWritten(file_->writeLast(gathered_ + whole, rest), rest, *path_);
  }
  held_ = 0;
  file_ = nullptr;
}

void OutputBlocks::writeSectors(const unsigned char* bytes, uint32_t count) {
  requireWritten(file_->writeSectors(bytes, count), count, *path_);
  written_ += count;
}

void OutputBlocks::writeThroughCache(const unsigned char* bytes, uint32_t count) {
  requireWritten(file_->write(bytes, count), count, *path_);
  // Started now, the flush at the end has little left to wait for, and a
  // slow medium holds the dots back as it goes.
  if (!file_->startWriteBack(written_, count)) failWrite(*path_, platform::systemErrorText(errno));
  written_ += count;
}

}  // namespace transfer
