#include "sys_calls.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

#include "faked_volume.h"
#include "platform/seam_calls.h"

using platform::FaultPoint;
using platform::goAhead;

namespace {

// The most bytes one write(2) call is given: a whole 1 MiB block. Slices of
// 32 KiB were measured better once; measured again since, alternating, whole
// blocks took 0.82 and 0.89 times the system time of 32 KiB slices for a
// split and 0.99 for a join (bench/README.md, whole writes). The benchmark
// builds the other size to measure again (FILESPLIT_WRITE_SLICE).
#ifndef FILESPLIT_WRITE_SLICE
#define FILESPLIT_WRITE_SLICE 1048576
#endif
constexpr size_t kWriteSlice = FILESPLIT_WRITE_SLICE;

// Writes `count` bytes in write(2) calls of at most kWriteSlice bytes. Returns
// the count written, short when a later call fails; 0 or -1 (errno set) when
// the first call writes nothing.
ssize_t writeSlices(int fd, const char* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd, bytes + done, std::min(count - done, kWriteSlice));
    if (n <= 0) return done > 0 ? static_cast<ssize_t>(done) : n;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
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
  return static_cast<ssize_t>(seam_calls::writeAll(
      buffer, count, [fd](const char* bytes, size_t n) { return writeSlices(fd, bytes, n); }));
}

ssize_t writeSectors(int fd, const void* buffer, size_t count, size_t sector) {
  return static_cast<ssize_t>(
      seam_calls::writeAll(buffer, count, [fd, sector](const char* bytes, size_t n) {
        return writeSlices(fd, bytes, seam_calls::wholeSectors(n, sector));
      }));
}

int close(int fd) {
  // Linux releases the descriptor even when close fails; EINTR is not retried.
  return seam_calls::close([fd] { return ::close(fd); });
}

void closeFolder(int fd) { ::close(fd); }

int openAt(int folder, const char* name, int flags, mode_t mode) {
  int fd;
  do {
    fd = goAhead(FaultPoint::open) ? ::openat(folder, name, flags, mode) : -1;
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int renameReplacing(int folder, const char* from, const char* to) {
  if (!goAhead(FaultPoint::rename)) return -1;
  return ::renameat(folder, from, folder, to);
}

int unlink(int folder, const char* name) {
  if (!goAhead(FaultPoint::pendingRemoval)) return -1;
  return ::unlinkat(folder, name, 0);
}

int makeFolder(int folder, const char* name, mode_t mode) {
  if (!goAhead(FaultPoint::pendingCreation)) return -1;
  return ::mkdirat(folder, name, mode);
}

int removeFolder(int folder, const char* name) {
  for (int attempt = 0;; ++attempt) {
    if (goAhead(FaultPoint::pendingRemoval) && ::unlinkat(folder, name, AT_REMOVEDIR) == 0)
      return 0;
    // fusefat answers EPERM for a folder that is not empty.
    const bool notEmptyYet = errno == ENOTEMPTY || errno == EBUSY || errno == EPERM;
    if (!notEmptyYet || attempt == 100) return -1;
    ::usleep(10000);  // a wait for the file system, not a measurement
  }
}

int describe(int fd, struct stat* info) {
  return goAhead(FaultPoint::openFileFacts) ? ::fstat(fd, info) : -1;
}

int lstat(const char* path, struct stat* info) {
  return goAhead(FaultPoint::nameStatus) ? ::lstat(path, info) : -1;
}

int lstatAt(int folder, const char* name, struct stat* info) {
  return goAhead(FaultPoint::nameStatus) ? ::fstatat(folder, name, info, AT_SYMLINK_NOFOLLOW) : -1;
}

int stat(const char* path, struct stat* info) {
  return goAhead(FaultPoint::fileStatus) ? ::stat(path, info) : -1;
}

int fstat(int fd, struct stat* info) { return ::fstat(fd, info); }

int statQuietly(const char* path, struct stat* info) { return ::stat(path, info); }

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

int fdatasync(int fd) {
  if (!goAhead(FaultPoint::flush)) return -1;
  return retriedOnInterrupt([fd] { return ::fdatasync(fd); });
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  ssize_t n;
  do {
    n = ::pread(fd, buffer, count, offset);
  } while (n < 0 && errno == EINTR);
  return n;
}

int fsyncFolder(const char* path) {
  if (!goAhead(FaultPoint::folderFlush)) return -1;
  const int fd =
      retriedOnInterrupt([path] { return ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return -1;
  const int result = retriedOnInterrupt([fd] { return ::fsync(fd); });
  const int error = errno;
  ::close(fd);
  errno = error;
  return result;
}

int fsyncFolder(int folder) {
  if (!goAhead(FaultPoint::folderFlush)) return -1;
  return retriedOnInterrupt([folder] { return ::fsync(folder); });
}

// A test's answer, when it gave one, stands in for the system's, but only
// for a path the system finds: one that names no folder fails as it would.
int statvfs(const char* path, struct statvfs* info) {
  if (!goAhead(FaultPoint::freeSpace)) return -1;
  const int result = retriedOnInterrupt([&] { return ::statvfs(path, info); });
  if (result == 0) posix_test_hooks::fakedStatvfs(*info);
  return result;
}

ssize_t readQuietly(int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); }

ssize_t writeQuietly(int fd, const void* buffer, size_t count) {
  return ::write(fd, buffer, count);
}

void closeQuietly(int fd) { ::close(fd); }

int sigaction(int signal, const struct sigaction* action, struct sigaction* before) {
  return ::sigaction(signal, action, before);
}

mode_t umask(mode_t mask) { return ::umask(mask); }

pid_t getpid() { return ::getpid(); }

uid_t geteuid() { return ::geteuid(); }

int fileSizeLimit(struct rlimit* limit) {
  const int result = ::getrlimit(RLIMIT_FSIZE, limit);
  if (result == 0) posix_test_hooks::fakedFileSizeLimit(*limit);
  return result;
}

}  // namespace sys
