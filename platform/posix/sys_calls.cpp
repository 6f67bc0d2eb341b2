#include "sys_calls.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/seam_calls.h"

using platform::FaultPoint;
using seam_calls::goAhead;

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
  return static_cast<ssize_t>(seam_calls::writeAll(
      buffer, count, [fd](const char* bytes, size_t n) { return ::write(fd, bytes, n); }));
}

int close(int fd) {
  // Linux releases the descriptor even when close fails; EINTR is not retried.
  return seam_calls::close([fd] { return ::close(fd); });
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
