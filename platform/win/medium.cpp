// Flushes to the medium on Windows. Write-back is left to the system, which
// has no call to start it for a range; reading past the cache (unbuffered
// reads) is not done yet.
#include <cerrno>
#include <string>

#include "platform/platform.h"
#include "platform/seam_calls.h"
#include "os_handle.h"
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

void startWriteBack(int, uint64_t, uint64_t) { (void)goAhead(FaultPoint::writeBack); }

int readFromMedium(int) { return goAhead(FaultPoint::cacheDrop) ? 0 : errno; }

int flushFolder(const std::wstring&) { return goAhead(FaultPoint::folderFlush) ? 0 : errno; }

}  // namespace platform
