// Flushes to the medium on Windows, and reads from it past the cache (the
// reads themselves in unbuffered_reads). Write-back is left to the system,
// which has no call to start it for a range.
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include "os_handle.h"
#include "platform/platform.h"
#include "platform/seam_calls.h"
#include "unbuffered_reads.h"
#include "unbuffered_writes.h"
#include "win32_errno.h"

using platform::FaultPoint;
using platform::goAhead;

namespace platform {

#if FILESPLIT_NO_FLUSH
int flushToMedium(int) { return 0; }
#else
int flushToMedium(int fd) {
  if (!goAhead(FaultPoint::flush)) return errno;
  // What _commit does, through the documented Win32 call: it also tells a
  // delayed write that failed, which CloseHandle does not.
  const auto handle = os_handle::of(fd);
  if (handle == INVALID_HANDLE_VALUE) return EBADF;
  if (FlushFileBuffers(handle)) return 0;
  const int error = win32_errno::errnoOf(GetLastError(), EINVAL);
  return error == EINVAL ? EIO : error;
}
#endif

int startWriteBack(int, uint64_t offset, uint64_t length) {
  if (!goAhead(FaultPoint::writeBack)) return errno;
  recordWriteBack(offset, length);
  return 0;
}

#if FILESPLIT_NO_FLUSH
int readFromMedium(int, uint32_t, std::unique_ptr<MediumReader>&) { return 0; }
#else
int readFromMedium(int fd, uint32_t bufferSize, std::unique_ptr<MediumReader>& reader) {
  // A refusal (EINVAL) leaves the descriptor's reads, through the cache.
  if (!goAhead(FaultPoint::cacheDrop)) return errno == EINVAL ? 0 : errno;
  const auto handle = os_handle::of(fd);
  if (handle == INVALID_HANDLE_VALUE) return EBADF;
  return unbuffered_reads::open(handle, bufferSize, reader);
}
#endif

// Windows tells no cheap way which pages of a file its cache holds: reads
// stay the descriptor's own, through the cache.
void readMediumWhereUncached(int, uint32_t, std::unique_ptr<MediumReader>&) {}

// A file the runtime opened shares no access with a second handle that
// could write past the cache: only a handle opened so itself can.
std::unique_ptr<MediumWriter> mediumWriter(int fd, uint32_t bypassSector) {
  const auto handle = os_handle::of(fd);
  if (bypassSector == 0 || handle == INVALID_HANDLE_VALUE) return nullptr;
  return unbuffered_writes::open(handle, bypassSector);
}

int flushFolder(const std::wstring&) { return goAhead(FaultPoint::folderFlush) ? 0 : errno; }

}  // namespace platform
