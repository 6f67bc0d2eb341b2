#include "transfer/block_copy.h"

#include <algorithm>
#include <cerrno>

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

void Progress::advance(uint64_t bytes) {
  done_ += bytes;
  if (nextDot_ >= done_) return;
  nextDot_ += dotStep_;
  printed_ = true;
  console_ << L'.' << std::flush;
}

BlockCopy::BlockCopy(Progress& progress)
    : progress_(progress), buffer_(new unsigned char[kBlockSize]()) {}

uint64_t BlockCopy::copy(FileIO_IF& from, const std::wstring& fromPath, uint64_t most,
                         CheckedDigest& digest, FileIO_IF* to, const std::wstring& toPath) {
  uint64_t done = 0;
  while (!from.eof() && done < most) {
    const auto length = narrow_cast<uint32_t>(std::min<uint64_t>(kBlockSize, most - done));
    const int n = from.read(buffer_.get(), length);
    if (n < 0) failRead(fromPath, errno);
    if (n == 0) break;  // ended early: the caller compares what it got
    const auto count = static_cast<uint32_t>(n);
    progress_.advance(count);
    digest.add(buffer_.get(), count);
    if (to != nullptr) requireWritten(to->write(buffer_.get(), count), count, toPath);
    done += count;
  }
  return done;
}

}  // namespace transfer
