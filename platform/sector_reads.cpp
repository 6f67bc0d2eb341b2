#include "platform/sector_reads.h"

#include <algorithm>
#include <cerrno>

#include "platform/fault_point.h"

using platform::FaultPoint;
using platform::goAhead;

namespace sector_reads {

#if FILESPLIT_FAULT_INJECTION
platform_test_hooks::MediumCalls* recording = nullptr;
#endif

namespace {

void recordRead([[maybe_unused]] const void* buffer, [[maybe_unused]] size_t size,
                [[maybe_unused]] uint64_t offset) {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr) recording->called(buffer, size, offset);
#endif
}

bool isPowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

}  // namespace

void recordOpen([[maybe_unused]] bool bypassesCache, [[maybe_unused]] uint32_t sector) {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr) recording->opened(bypassesCache, sector);
#endif
}

bool fits(uint32_t sector, uint32_t bufferSize) {
  return isPowerOfTwo(sector) && platform::kMediumAlignment % sector == 0 &&
         bufferSize % sector == 0;
}

int SectorReader::read(void* buffer, uint32_t count) {
  // Past a read that ended inside a sector only the file's end can follow.
  if (count == 0 || offset_ % sector_ != 0) return 0;
  const size_t whole = (size_t{count} + sector_ - 1) / sector_ * sector_;
  for (;;) {
    size_t asked = whole;
    if (!goAhead(FaultPoint::read, asked)) {
      if (errno == EINTR) continue;
      return -1;
    }
    // A shorter read a test planned stays whole sectors, at least one: this
    // handle reads nothing else. One of nothing is an early end.
    if (asked == 0) return 0;
    if (asked < whole) asked = std::max<size_t>(asked / sector_ * sector_, sector_);
    recordRead(buffer, asked, offset_);
    const long long got = readAt(buffer, asked, offset_);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    // The sector's rest beyond what was asked is not the caller's.
    const auto taken = static_cast<uint32_t>(std::min<long long>(got, count));
    offset_ += taken;
    return static_cast<int>(taken);
  }
}

bool SectorReader::eof() {
  uint64_t bytes = 0;
  return !size(bytes) || offset_ >= bytes;
}

}  // namespace sector_reads
