#include "unbuffered_reads.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "medium_sectors.h"
#include "platform/seam_calls.h"
#include "win32_errno.h"

using platform::FaultPoint;
using platform::goAhead;

namespace unbuffered_reads {

#if FILESPLIT_FAULT_INJECTION
platform_test_hooks::MediumCalls* recording = nullptr;
#endif

namespace {

void recordOpen([[maybe_unused]] DWORD flags, [[maybe_unused]] uint32_t sector) {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr) recording->opened((flags & FILE_FLAG_NO_BUFFERING) != 0, sector);
#endif
}

void recordRead([[maybe_unused]] const void* buffer, [[maybe_unused]] size_t size,
                [[maybe_unused]] uint64_t offset) {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr) recording->called(buffer, size, offset);
#endif
}

class UnbufferedReader final : public platform::MediumReader {
 public:
  UnbufferedReader(HANDLE handle, uint32_t sector) : handle_(handle), sector_(sector) {}
  // A handle that only read: its close has nothing to report.
  ~UnbufferedReader() override {
    (void)goAhead(FaultPoint::close);
    CloseHandle(handle_);
  }
  UnbufferedReader(const UnbufferedReader&) = delete;
  UnbufferedReader& operator=(const UnbufferedReader&) = delete;

  int read(void* buffer, uint32_t count) override;
  bool eof() override;

 private:
  HANDLE handle_;
  uint32_t sector_;
  uint64_t offset_ = 0;  // read at explicit offsets: the handle's own pointer is not used
};

int UnbufferedReader::read(void* buffer, uint32_t count) {
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
    // handle reads nothing else.
    if (asked < whole) asked = seam_calls::wholeSectors(asked, sector_);
    recordRead(buffer, asked, offset_);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset_);
    at.OffsetHigh = static_cast<DWORD>(offset_ >> 32);
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(asked), &got, &at)) {
      const DWORD error = GetLastError();
      if (error != ERROR_HANDLE_EOF) {
        errno = win32_errno::errnoOf(error, EIO);
        return -1;
      }
      got = 0;  // a read at an offset past the end
    }
    // The sector's rest beyond what was asked is not the caller's.
    const uint32_t taken = std::min<uint32_t>(got, count);
    offset_ += taken;
    return static_cast<int>(taken);
  }
}

bool UnbufferedReader::eof() {
  LARGE_INTEGER size{};
  return !GetFileSizeEx(handle_, &size) || offset_ >= static_cast<uint64_t>(size.QuadPart);
}

}  // namespace

int open(HANDLE handle, uint32_t bufferSize, std::unique_ptr<platform::MediumReader>& reader) {
  const uint32_t sector = medium_sectors::sectorSize(handle, bufferSize);
  if (!medium_sectors::fits(sector, bufferSize))
    return 0;  // the descriptor's reads, through the cache
  constexpr DWORD kFlags = FILE_FLAG_NO_BUFFERING;
  const HANDLE own = ReOpenFile(handle, GENERIC_READ, FILE_SHARE_READ, kFlags);
  if (own == INVALID_HANDLE_VALUE) return win32_errno::errnoOf(GetLastError(), EIO);
  recordOpen(kFlags, sector);
  reader = std::make_unique<UnbufferedReader>(own, sector);
  return 0;
}

}  // namespace unbuffered_reads
