#include "sys_calls.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/platform.h"

using platform::FaultPoint;

namespace {

// The call at `point` as a test build may have planned it: false with errno
// set when it is to fail, else true with `count` cut to the planned limit.
// In a normal build always true, and `count` untouched.
bool goAhead(FaultPoint point, size_t& count) {
  const platform::InjectedFault fault = platform::injectedFault(point);
  if (fault.error != 0) {
    errno = fault.error;
    return false;
  }
  count = std::min(count, fault.byteLimit);
  return true;
}

bool goAhead(FaultPoint point) {
  size_t unused = 0;
  return goAhead(point, unused);
}

}  // namespace

namespace sys {

int open(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = goAhead(FaultPoint::open) ? ::open(path, flags, mode) : -1;
  } while (fd < 0 && errno == EINTR);
  return fd;
}

ssize_t read(int fd, void* buffer, size_t count) {
  ssize_t n;
  do {
    size_t asked = count;
    n = goAhead(FaultPoint::read, asked) ? ::read(fd, buffer, asked) : -1;
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t writeAll(int fd, const void* buffer, size_t count) {
  const char* next = static_cast<const char*>(buffer);
  size_t left = count;
  while (left > 0) {
    size_t asked = left;
    const ssize_t n = goAhead(FaultPoint::write, asked) ? ::write(fd, next, asked) : -1;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {  // no progress and no reason: do not spin
      errno = EIO;
      return -1;
    }
    next += n;
    left -= static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(count);
}

int close(int fd) {
  // Linux releases the descriptor even when close fails, so does a planned failure.
  const bool planned = !goAhead(FaultPoint::close);
  const int error = errno;
  const int result = ::close(fd);
  if (!planned) return result;
  errno = error;
  return -1;
}

int fstat(int fd, struct stat* info) { return ::fstat(fd, info); }

off_t lseek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }

int fcntl(int fd, int command, int argument) {
  int result;
  do {
    result = ::fcntl(fd, command, argument);
  } while (result < 0 && errno == EINTR);
  return result;
}

int fadvise(int fd, off_t offset, off_t length, int advice) {
  return ::posix_fadvise(fd, offset, length, advice);
}

}  // namespace sys
