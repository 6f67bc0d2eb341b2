#include "sys_calls.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace sys {

int open(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

ssize_t read(int fd, void* buffer, size_t count) {
  ssize_t n;
  do {
    n = ::read(fd, buffer, count);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t writeAll(int fd, const void* buffer, size_t count) {
  const char* next = static_cast<const char*>(buffer);
  size_t left = count;
  while (left > 0) {
    const ssize_t n = ::write(fd, next, left);
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

int close(int fd) { return ::close(fd); }

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
