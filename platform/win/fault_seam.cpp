// The fault seam of Windows test builds: each call asks the seam what a test
// planned for it, then goes to the runtime, retried and completed the way
// the POSIX layer's calls are, so that both builds meet a plan alike.
#include <algorithm>
#include <cwchar>

#include "platform/platform.h"

#undef _wsopen_s
#undef _read
#undef _write
#undef _close
#undef MultiByteToWideChar
#undef BCryptGetProperty

using platform::FaultPoint;

namespace {

// False with errno set when the call is to fail; else true, with `count`
// cut to the planned limit.
bool goAhead(FaultPoint point, unsigned int& count) {
  const platform::InjectedFault fault = platform::injectedFault(point);
  if (fault.error != 0) {
    errno = fault.error;
    return false;
  }
  count = static_cast<unsigned int>(std::min<size_t>(count, fault.byteLimit));
  return true;
}

ULONG fakedDigestLength = 0;

bool goAhead(FaultPoint point) {
  unsigned int unused = 0;
  return goAhead(point, unused);
}

}  // namespace

namespace win_seam {

errno_t wsopen_s(int* pfh, const wchar_t* filename, int oflag, int shflag, int pmode) {
  for (;;) {
    if (goAhead(FaultPoint::open)) return ::_wsopen_s(pfh, filename, oflag, shflag, pmode);
    if (errno == EINTR) continue;
    if (pfh != nullptr) *pfh = -1;
    return errno;
  }
}

int read(int fd, void* buffer, unsigned int count) {
  for (;;) {
    unsigned int asked = count;
    if (goAhead(FaultPoint::read, asked)) return ::_read(fd, buffer, asked);
    if (errno != EINTR) return -1;
  }
}

int write(int fd, const void* buffer, unsigned int count) {
  const char* next = static_cast<const char*>(buffer);
  unsigned int left = count;
  while (left > 0) {
    unsigned int asked = left;
    const int n = goAhead(FaultPoint::write, asked) ? ::_write(fd, next, asked) : -1;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {  // no progress and no reason: do not spin
      errno = EIO;
      return -1;
    }
    next += n;
    left -= static_cast<unsigned int>(n);
  }
  return static_cast<int>(count);
}

int close(int fd) {
  // The descriptor is released even when the close is planned to fail.
  const bool planned = !goAhead(FaultPoint::close);
  const int error = errno;
  const int result = ::_close(fd);
  if (!planned) return result;
  errno = error;
  return -1;
}

int multiByteToWideChar(UINT codePage, DWORD flags, LPCCH text, int length, LPWSTR wide,
                        int wideLength) {
  const int planned = platform::injectedFault(FaultPoint::textConversion).error;
  if (planned != 0) {
    SetLastError(static_cast<DWORD>(planned));
    return 0;
  }
  return ::MultiByteToWideChar(codePage, flags, text, length, wide, wideLength);
}

NTSTATUS getProperty(BCRYPT_HANDLE object, LPCWSTR property, PUCHAR output, ULONG outputSize,
                     ULONG* result, ULONG flags) {
  const NTSTATUS status = ::BCryptGetProperty(object, property, output, outputSize, result, flags);
  const bool digestLength = std::wcscmp(property, BCRYPT_HASH_LENGTH) == 0;
  if (status == 0 && digestLength && fakedDigestLength != 0 && outputSize >= sizeof(ULONG))
    *reinterpret_cast<ULONG*>(output) = fakedDigestLength;
  return status;
}

void fakeDigestLength(ULONG length) { fakedDigestLength = length; }

}  // namespace win_seam
