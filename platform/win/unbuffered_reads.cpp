#include "unbuffered_reads.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/seam_calls.h"
#include "platform/sector_reads.h"
#include "win32_errno.h"

using platform::FaultPoint;
using platform::goAhead;

namespace unbuffered_reads {

namespace {

using sector_reads::fits;

// From the file's storage facts (Windows 8 and later): the physical sector,
// which buffers are best aligned to, where it fits; else the logical one,
// which sizes and offsets must be multiples of. 0 where not told.
uint32_t storageSectorSize(HANDLE handle, uint32_t bufferSize) {
  FILE_STORAGE_INFO info{};
  if (!GetFileInformationByHandleEx(handle, FileStorageInfo, &info, sizeof info)) return 0;
  const uint32_t larger =
      std::max<uint32_t>(info.LogicalBytesPerSector, info.PhysicalBytesPerSectorForPerformance);
  return fits(larger, bufferSize) ? larger : info.LogicalBytesPerSector;
}

// The logical sector size of the volume the file's path is on, for systems
// without the storage facts. 0 where not told.
uint32_t volumeSectorSize(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= path.size()) {  // too small: `length` counts the terminator too
    path.resize(length);
    length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (length == 0 || length >= path.size()) return 0;
  path.resize(length);
  std::wstring root(path.size() + 2, L'\0');
  if (!GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) return 0;
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD clusters = 0;
  if (!GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &clusters))
    return 0;
  return bytesPerSector;
}

uint32_t sectorSize(HANDLE handle, uint32_t bufferSize) {
  if (!goAhead(FaultPoint::sectorSize)) return 0;
  const uint32_t size = storageSectorSize(handle, bufferSize);
  return size != 0 ? size : volumeSectorSize(handle);
}

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
  const uint32_t sector = sectorSize(handle, bufferSize);
  if (!fits(sector, bufferSize)) return 0;  // the descriptor's reads, through the cache
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
