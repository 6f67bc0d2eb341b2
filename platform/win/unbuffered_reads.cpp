#include "unbuffered_reads.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/seam_calls.h"
#include "win32_errno.h"

using platform::FaultPoint;
using platform::goAhead;

namespace unbuffered_reads {

#if FILESPLIT_FAULT_INJECTION
platform_test_hooks::MediumReads* recording = nullptr;
#endif

namespace {

void recordOpen([[maybe_unused]] DWORD flags, [[maybe_unused]] uint32_t sector) {
#if FILESPLIT_FAULT_INJECTION
  if (recording == nullptr) return;
  ++recording->opens;
  if ((flags & FILE_FLAG_NO_BUFFERING) == 0) recording->allBypassTheCache = false;
  recording->sectorSize = sector;
#endif
}

void recordRead([[maybe_unused]] const void* buffer, [[maybe_unused]] size_t size,
                [[maybe_unused]] uint64_t offset) {
#if FILESPLIT_FAULT_INJECTION
  if (recording == nullptr) return;
  recording->buffers.push_back(reinterpret_cast<uintptr_t>(buffer));
  recording->sizes.push_back(size);
  recording->offsets.push_back(offset);
#endif
}

bool isPowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

// Whether reads in units of `sector` can go into buffers of `bufferSize`
// bytes aligned to platform::kMediumAlignment.
bool fits(uint32_t sector, uint32_t bufferSize) {
  return isPowerOfTwo(sector) && platform::kMediumAlignment % sector == 0 &&
         bufferSize % sector == 0;
}

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
    if (asked < whole) asked = std::max<size_t>(asked / sector_ * sector_, sector_);
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
  const uint32_t sector = sectorSize(handle, bufferSize);
  if (!fits(sector, bufferSize)) return 0;  // the descriptor's reads, through the cache
  constexpr DWORD kFlags = FILE_FLAG_NO_BUFFERING;
  const HANDLE own = ReOpenFile(handle, GENERIC_READ, FILE_SHARE_READ, kFlags);
  if (own == INVALID_HANDLE_VALUE) return win32_errno::errnoOf(GetLastError(), EIO);
  recordOpen(kFlags, sector);
  reader = std::make_unique<UnbufferedReader>(own, sector);
  return 0;
}

}  // namespace unbuffered_reads
