#include "direct_writes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "linux_calls.h"
#include "platform/unix/sys_calls.h"

namespace direct_writes {

#if FILESPLIT_FAULT_INJECTION
platform_test_hooks::MediumCalls* recording = nullptr;
#endif

namespace {

// Test builds only: the descriptor's flags are asked here, outside the seam,
// so that the record tells what the system was told, not what was meant.
void recordWrite([[maybe_unused]] int fd, [[maybe_unused]] const void* buffer,
                 [[maybe_unused]] size_t size, [[maybe_unused]] uint64_t offset) {
#if FILESPLIT_FAULT_INJECTION
  if (recording == nullptr) return;
  if ((sys::fcntl(fd, F_GETFL, 0) & O_DIRECT) == 0) recording->allBypassTheCache = false;
  recording->called(buffer, size, offset);
#endif
}

// Where the descriptor is after the last bytes.
void recordEnd([[maybe_unused]] int fd) {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr) recording->endPosition = sys::lseek(fd, 0, SEEK_CUR);
#endif
}

void recordOpen() {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr) recording->opened(true, platform::kMediumAlignment);
#endif
}

class DirectWriter final : public platform::MediumWriter {
 public:
  explicit DirectWriter(int fd) : fd_(fd) {}

  int write(const void* buffer, uint32_t count) override {
    recordWrite(fd_, buffer, count, written_);
    if (sys::writeSectors(fd_, buffer, count, platform::kMediumAlignment) < 0) return -1;
    written_ += count;
    return static_cast<int>(count);
  }

  // The last bytes the ordinary way: O_DIRECT takes no part of a block.
  int writeLast(unsigned char* buffer, uint32_t count) override {
    if (sys::setDirect(fd_, false, platform::FaultPoint::mediumWrites) != 0) return -1;
    const int written = _write(fd_, buffer, count);
    recordEnd(fd_);
    return written;
  }

 private:
  int fd_;                // the file's own descriptor, not this object's
  uint64_t written_ = 0;  // for the record
};

}  // namespace

// Only where the file system says that O_DIRECT bypasses its cache in units
// that kMediumAlignment is a multiple of (sys::setDirect): elsewhere (ext4
// mounted data=journal) the writes would fill the cache unpaced, and the
// write-back window is to pace them.
std::unique_ptr<platform::MediumWriter> open(int fd) {
  if (sys::setDirect(fd, true, platform::FaultPoint::mediumWrites) != 0) return nullptr;
  recordOpen();
  return std::make_unique<DirectWriter>(fd);
}

}  // namespace direct_writes
