// The table's calls (sys_calls.h, linux_calls.h) that are Linux's own:
// renameat2, O_TMPFILE, /proc/self/fd, dup3, pipe2, read leases, inotify,
// sync_file_range, statfs.
#include "linux_calls.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "faked_file_system.h"
#include "platform/seam_calls.h"
#include "platform/unix/sys_calls.h"

using platform::FaultPoint;
using platform::goAhead;

namespace sys {

int renameNoReplace(int folder, const char* from, const char* to) {
  if (!goAhead(FaultPoint::rename)) return -1;
  // Called through syscall(2): older C libraries lack the wrapper.
  constexpr unsigned kNoReplace = 1;  // RENAME_NOREPLACE
  if (::syscall(SYS_renameat2, folder, from, folder, to, kNoReplace) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (::linkat(folder, from, folder, to, 0) != 0) return -1;
  // The new name holds the file now; an old name left behind replaces nothing.
  ::unlinkat(folder, from, 0);
  return 0;
}

int openUnnamed(int folder, mode_t mode) {
  int fd;
  do {
    fd = goAhead(FaultPoint::pendingCreation)
             ? ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode)
             : -1;
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int linkOpenFile(int fd, int folder, const char* to) {
  if (!goAhead(FaultPoint::rename)) return -1;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), folder, to, AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0) return -1;
  // No /proc: only a caller allowed to (root) may link a descriptor directly.
  return ::linkat(fd, "", folder, to, AT_EMPTY_PATH);
}

int retire(int fd) {
  const int null = retriedOnInterrupt([] { return ::open("/dev/null", O_WRONLY | O_CLOEXEC); });
  if (null < 0) return -1;
  const int result = retriedOnInterrupt([&] { return ::dup3(null, fd, O_CLOEXEC); });
  const int error = errno;
  ::close(null);
  errno = error;
  return result < 0 ? -1 : 0;
}

int takeReadLease(int fd, int signal) {
  if (!goAhead(FaultPoint::inputWatch)) return -1;
  if (fcntl(fd, F_SETSIG, signal) != 0) return -1;
  return fcntl(fd, F_SETLEASE, F_RDLCK);
}

int watchWrites(int fd) {
  if (!goAhead(FaultPoint::inputWatch)) return -1;
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0) return -1;
  // The open file itself, wherever its name leads by now.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::inotify_add_watch(watch, self.c_str(), IN_MODIFY) < 0) {
    const int error = errno;
    ::close(watch);
    errno = error;
    return -1;
  }
  return watch;
}

int startWriteBack(int fd, off_t offset, off_t length) {
  if (!goAhead(FaultPoint::writeBack)) return -1;
  platform::recordWriteBack(static_cast<uint64_t>(offset), static_cast<uint64_t>(length));
  return retriedOnInterrupt(
      [&] { return ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE); });
}

int awaitWriteBack(int fd, off_t offset, off_t length) {
  if (!goAhead(FaultPoint::writeBack)) return -1;
  return retriedOnInterrupt([&] {
    return ::sync_file_range(
        fd, offset, length,
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
  });
}

int statfs(const char* path, struct statfs* info) {
  if (!goAhead(FaultPoint::fileSystemType)) return -1;
  const int result = retriedOnInterrupt([&] { return ::statfs(path, info); });
  if (result == 0) posix_test_hooks::fakedStatfs(*info);
  return result;
}

int openPipe(int fds[2]) { return ::pipe2(fds, O_CLOEXEC); }

int folderPathOf(int folder, std::string& path) {
  char moved[PATH_MAX];
  const std::string self = "/proc/self/fd/" + std::to_string(folder);
  const ssize_t length = ::readlink(self.c_str(), moved, sizeof moved);
  if (length <= 0) return -1;
  if (static_cast<size_t>(length) >= sizeof moved) {
    errno = ENAMETOOLONG;
    return -1;
  }
  path.assign(moved, static_cast<size_t>(length));
  return 0;
}

}  // namespace sys
