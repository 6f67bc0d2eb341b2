#include "unbuffered_writes.h"

#include <cerrno>

#include "medium_sectors.h"
#include "platform/seam_calls.h"
#include "platform/sector_reads.h"
#include "win32_errno.h"

using platform::FaultPoint;
using platform::goAhead;

namespace unbuffered_writes {

#if FILESPLIT_FAULT_INJECTION
platform_test_hooks::MediumCalls* recording = nullptr;
#endif

namespace {

constexpr DWORD kFlags = FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH;

void recordOpen([[maybe_unused]] DWORD flags, [[maybe_unused]] uint32_t sector) {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr) recording->opened((flags & kFlags) == kFlags, sector);
#endif
}

void recordWrite([[maybe_unused]] const void* buffer, [[maybe_unused]] size_t size,
                 [[maybe_unused]] uint64_t offset) {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr) recording->called(buffer, size, offset);
#endif
}

class UnbufferedWriter final : public platform::MediumWriter {
 public:
  UnbufferedWriter(HANDLE file, HANDLE own, uint32_t sector)
      : file_(file), own_(own), sector_(sector) {}
  // Written through, the handle holds nothing back that its close could
  // fail to store.
  ~UnbufferedWriter() override {
    if (own_ != INVALID_HANDLE_VALUE) CloseHandle(own_);
  }
  UnbufferedWriter(const UnbufferedWriter&) = delete;
  UnbufferedWriter& operator=(const UnbufferedWriter&) = delete;

  int write(const void* buffer, uint32_t count) override;
  int end() override;

 private:
  HANDLE file_;  // the descriptor's handle, whose writes follow these
  HANDLE own_;
  uint32_t sector_;
  uint64_t offset_ = 0;  // written at explicit offsets: the handle's own pointer is not used
};

int UnbufferedWriter::write(const void* buffer, uint32_t count) {
  return static_cast<int>(
      seam_calls::writeAll(buffer, count, [this](const char* bytes, size_t n) -> long long {
        const size_t asked = seam_calls::wholeSectors(n, sector_);
        if (asked == 0) return 0;
        recordWrite(bytes, asked, offset_);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset_);
        at.OffsetHigh = static_cast<DWORD>(offset_ >> 32);
        DWORD done = 0;
        if (!WriteFile(own_, bytes, static_cast<DWORD>(asked), &done, &at)) {
          errno = win32_errno::errnoOf(GetLastError(), EIO);
          return -1;
        }
        offset_ += done;
        return done;
      }));
}

int UnbufferedWriter::end() {
  if (!goAhead(FaultPoint::mediumWrites)) return errno;
  CloseHandle(own_);
  own_ = INVALID_HANDLE_VALUE;
  // The descriptor's next write goes after the bytes written here.
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset_);
  if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN))
    return win32_errno::errnoOf(GetLastError(), EIO);
  return 0;
}

}  // namespace

std::unique_ptr<platform::MediumWriter> open(HANDLE handle) {
  if (!goAhead(FaultPoint::mediumWrites)) return nullptr;
  const uint32_t sector = medium_sectors::sectorSize(handle, platform::kMediumAlignment);
  if (!sector_reads::fits(sector, platform::kMediumAlignment)) return nullptr;
  // Shared with the descriptor's handle, which reads and writes.
  const HANDLE own = ReOpenFile(handle, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, kFlags);
  if (own == INVALID_HANDLE_VALUE) return nullptr;
  recordOpen(kFlags, sector);
  return std::make_unique<UnbufferedWriter>(handle, own, sector);
}

}  // namespace unbuffered_writes
