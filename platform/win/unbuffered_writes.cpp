#include "unbuffered_writes.h"

#include <cerrno>
#include <cstring>

#include "platform/seam_calls.h"
#include "win32_errno.h"

namespace unbuffered_writes {

#if FILESPLIT_FAULT_INJECTION
platform_test_hooks::MediumCalls* recording = nullptr;
uint64_t firstOffset = 0;
#endif

void recordOpen([[maybe_unused]] DWORD flags, [[maybe_unused]] uint32_t sector) {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr) recording->opened((flags & kFlags) == kFlags, sector);
#endif
}

namespace {

// Test builds only: the offset as the system is told it.
void recordWrite([[maybe_unused]] const void* buffer, [[maybe_unused]] size_t size,
                 [[maybe_unused]] const OVERLAPPED& at) {
#if FILESPLIT_FAULT_INJECTION
  if (recording != nullptr)
    recording->called(buffer, size, (uint64_t{at.OffsetHigh} << 32) | at.Offset);
#endif
}

// Test builds only: where the handle's pointer is after the last bytes.
void recordEnd([[maybe_unused]] HANDLE file) {
#if FILESPLIT_FAULT_INJECTION
  LARGE_INTEGER position{};
  if (recording != nullptr && SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT))
    recording->endPosition = position.QuadPart;
#endif
}

uint64_t startOffset() {
#if FILESPLIT_FAULT_INJECTION
  return firstOffset;
#else
  return 0;
#endif
}

class UnbufferedWriter final : public platform::MediumWriter {
 public:
  UnbufferedWriter(HANDLE file, uint32_t sector, uint64_t offset)
      : file_(file), sector_(sector), offset_(offset) {}

  int write(const void* buffer, uint32_t count) override;
  int writeLast(unsigned char* buffer, uint32_t count) override;

 private:
  HANDLE file_;  // the descriptor's handle, opened with kFlags
  uint32_t sector_;
  uint64_t offset_;  // written at explicit offsets, then the handle's pointer set
};

int UnbufferedWriter::write(const void* buffer, uint32_t count) {
  return static_cast<int>(
      seam_calls::writeAll(buffer, count, [this](const char* bytes, size_t n) -> long long {
        const size_t asked = seam_calls::wholeSectors(n, sector_);
        if (asked == 0) return 0;
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset_);
        at.OffsetHigh = static_cast<DWORD>(offset_ >> 32);
        recordWrite(bytes, asked, at);
        DWORD done = 0;
        if (!WriteFile(file_, bytes, static_cast<DWORD>(asked), &done, &at)) {
          errno = win32_errno::errnoOf(GetLastError(), EIO);
          return -1;
        }
        offset_ += done;
        return done;
      }));
}

// A handle with no buffering writes whole sectors only: the last bytes go
// as such, padded with zeros, and the file's end is set back to after them.
int UnbufferedWriter::writeLast(unsigned char* buffer, uint32_t count) {
  const uint32_t padded = (count + sector_ - 1) / sector_ * sector_;
  std::memset(buffer + count, 0, padded - count);
  if (write(buffer, padded) < 0) return -1;
  offset_ -= padded - count;
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(offset_);
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset_);
  if (!SetFileInformationByHandle(file_, FileEndOfFileInfo, &end, sizeof end) ||
      !SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) {
    errno = win32_errno::errnoOf(GetLastError(), EIO);
    return -1;
  }
  recordEnd(file_);
  return static_cast<int>(count);
}

}  // namespace

std::unique_ptr<platform::MediumWriter> open(HANDLE handle, uint32_t sector) {
  return std::make_unique<UnbufferedWriter>(handle, sector, startOffset());
}

}  // namespace unbuffered_writes
