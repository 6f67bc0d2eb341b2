#include "unbuffered_reads.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "medium_sectors.h"
#include "platform/seam_calls.h"
#include "platform/sector_reads.h"
#include "win32_errno.h"

using platform::FaultPoint;
using platform::goAhead;

namespace unbuffered_reads {

namespace {

class UnbufferedReader final : public sector_reads::SectorReader {
 public:
  UnbufferedReader(HANDLE handle, uint32_t sector) : SectorReader(sector), handle_(handle) {}
  // A handle that only read: its close has nothing to report.
  ~UnbufferedReader() override {
    (void)goAhead(FaultPoint::close);
    CloseHandle(handle_);
  }
  UnbufferedReader(const UnbufferedReader&) = delete;
  UnbufferedReader& operator=(const UnbufferedReader&) = delete;

 private:
  long long readAt(void* buffer, size_t size, uint64_t offset) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (ReadFile(handle_, buffer, static_cast<DWORD>(size), &got, &at)) return got;
    const DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;  // a read at an offset past the end
    errno = win32_errno::errnoOf(error, EIO);
    return -1;
  }
  bool size(uint64_t& bytes) override {
    LARGE_INTEGER told{};
    if (!GetFileSizeEx(handle_, &told)) return false;
    bytes = static_cast<uint64_t>(told.QuadPart);
    return true;
  }

  HANDLE handle_;
};

}  // namespace

int open(HANDLE handle, uint32_t bufferSize, std::unique_ptr<platform::MediumReader>& reader) {
  const uint32_t sector = medium_sectors::sectorSize(handle, bufferSize);
  if (!sector_reads::fits(sector, bufferSize))
    return 0;  // the descriptor's reads, through the cache
  constexpr DWORD kFlags = FILE_FLAG_NO_BUFFERING;
  const HANDLE own = ReOpenFile(handle, GENERIC_READ, FILE_SHARE_READ, kFlags);
  if (own == INVALID_HANDLE_VALUE) {
    const int error = win32_errno::errnoOf(GetLastError(), EIO);
    return error == EINVAL ? 0 : error;  // refused here: the descriptor's reads
  }
  sector_reads::recordOpen((kFlags & FILE_FLAG_NO_BUFFERING) != 0, sector);
  reader = std::make_unique<UnbufferedReader>(own, sector);
  return 0;
}

}  // namespace unbuffered_reads
