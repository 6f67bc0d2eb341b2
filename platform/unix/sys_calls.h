// The one table of the system calls the UNIX layer makes (platform/unix/
// and platform/linux/): each written once with its EINTR handling and its
// question to the fault seam (or why it asks none), so that tests have one
// place to look. Defined in sys_calls.cpp, and for Linux in
// platform/linux/linux_calls.cpp and cache_calls.cpp; the calls only Linux
// code makes are declared in platform/linux/linux_calls.h, the same
// namespace. Not here: the C and C++ libraries' own calls (std::filesystem
// in file_queries.cpp, std::signal, raise, setlocale, nl_langinfo, the
// OpenSSL digest).
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <cerrno>
#include <string>

#include "platform/fault_point.h"

namespace sys {

/// open(2), retried on EINTR. Returns the descriptor or -1 (errno set).
int open(const char* path, int flags, mode_t mode);
/// read(2), retried on EINTR. Returns the count, 0 at the end, or -1.
ssize_t read(int fd, void* buffer, size_t count);
/// write(2), in calls of at most 1 MiB, until all `count` bytes are written,
/// retried on EINTR. Returns `count`, or -1 when a call fails (errno set; part
/// may have been written).
ssize_t writeAll(int fd, const void* buffer, size_t count);
/// write(2) of `count` bytes, whole sectors of `sector` bytes, until all are
/// written, as writeAll; a shorter call a test plans stays whole sectors.
ssize_t writeSectors(int fd, const void* buffer, size_t count, size_t sector);
/// close(2). EINTR is not retried: the descriptor is gone either way on Linux.
int close(int fd);
/// close(2) of a folder opened read-only, whose result tells nothing of
/// any file: not asked of the seam.
void closeFolder(int fd);
// The calls below that take `folder` act on names in the open folder
// `folder` (openat(2) and its kin), so that they reach that very folder
// whatever its path names meanwhile.

/// openat(2) of `name` in `folder`, retried on EINTR, as the seam plans an
/// open. Returns the descriptor or -1 (errno set).
int openAt(int folder, const char* name, int flags, mode_t mode);
/// renameat(2), which replaces what is at `to`. 0 or -1 (errno set).
int renameReplacing(int folder, const char* from, const char* to);
/// unlinkat(2), as the seam plans a removal. 0 or -1 (errno set).
int unlink(int folder, const char* name);
/// mkdirat(2) with `mode`, as the seam plans a pending file's creation.
/// 0 or -1 (errno set; EEXIST when something is there).
int makeFolder(int folder, const char* name, mode_t mode);
/// unlinkat(2) with AT_REMOVEDIR of a folder that should be empty by now: a
/// FUSE file system may take a moment to drop a removed file that was open,
/// so a folder that is not empty yet (ENOTEMPTY, EBUSY; fusefat's EPERM) is
/// tried again for up to a second. 0 or -1 (errno set). The seam plans
/// each try as a removal.
int removeFolder(int folder, const char* name);
/// fstat(2) of what a descriptor is, as the seam plans it.
int describe(int fd, struct stat* info);
/// lstat(2): the name itself, links not followed.
int lstat(const char* path, struct stat* info);
/// fstatat(2) of `name` in `folder`, links not followed, as the seam plans
/// lstat.
int lstatAt(int folder, const char* name, struct stat* info);
/// stat(2), links followed.
int stat(const char* path, struct stat* info);
/// fstat(2).
int fstat(int fd, struct stat* info);
/// stat(2), links followed, not asked of the seam: for a question whose
/// failure changes nothing (where a held folder is now).
int statQuietly(const char* path, struct stat* info);
/// lseek(2).
off_t lseek(int fd, off_t offset, int whence);
/// fcntl(2) with an int argument, retried on EINTR.
int fcntl(int fd, int command, int argument);
/// posix_fadvise(2); returns an errno value, 0 on success.
int fadvise(int fd, off_t offset, off_t length, int advice);
/// fdatasync(2), retried on EINTR. 0 or -1 (errno set).
int fdatasync(int fd);
/// pread(2), retried on EINTR. Returns the count, 0 at the end, or -1.
ssize_t pread(int fd, void* buffer, size_t count, off_t offset);
/// fsync(2) on the folder `path`, opened read-only for it. 0 or -1 (errno set).
int fsyncFolder(const char* path);
/// fsync(2) on the open folder `folder`, as the seam plans a folder's
/// flush. 0 or -1 (errno set).
int fsyncFolder(int folder);
/// statvfs(3) of the file system holding `path`, retried on EINTR. 0 or -1
/// (errno set).
int statvfs(const char* path, struct statvfs* info);

/// read(2) and write(2) of a pipe or watch descriptor, not asked of the seam
/// (no call of a job's); async-signal-safe. The count or -1 (errno set).
ssize_t readQuietly(int fd, void* buffer, size_t count);
ssize_t writeQuietly(int fd, const void* buffer, size_t count);
/// close(2) of a descriptor whose closing tells nothing, not asked of the
/// seam.
void closeQuietly(int fd);
/// sigaction(2).
int sigaction(int signal, const struct sigaction* action, struct sigaction* before);
/// umask(2): sets the mask for new files, returns the one before.
mode_t umask(mode_t mask);
/// getpid(2).
pid_t getpid();
/// geteuid(2).
uid_t geteuid();
/// getrlimit(2) of RLIMIT_FSIZE, the largest file this process may write.
int fileSizeLimit(struct rlimit* limit);

// Calls each UNIX system makes its own way; Linux's are in
// platform/linux/linux_calls.cpp. A port defines them with its system's
// calls; where it has none, openUnnamed fails with EOPNOTSUPP (the caller
// then writes under a temporary name) and folderPathOf with ENOSYS (a
// moved folder is then named as it was given).

/// renameat2(2) with RENAME_NOREPLACE; where the file system cannot do
/// that (EINVAL, ENOSYS), linkat(2) to the new name and unlinkat(2) of the
/// old one, which cannot replace either. Returns 0 or -1 (errno set; EEXIST
/// when `to` exists).
int renameNoReplace(int folder, const char* from, const char* to);
/// open(2) of an unnamed file in `folder` (O_TMPFILE), for writing,
/// retried on EINTR. Returns the descriptor or -1 (errno set; EOPNOTSUPP,
/// EISDIR or EINVAL where the file system cannot).
int openUnnamed(int folder, mode_t mode);
/// linkat(2) of the open descriptor `fd` to the new name `to` in `folder`,
/// through /proc/self/fd, or AT_EMPTY_PATH where /proc is missing. 0 or -1
/// (errno set; EEXIST when `to` exists).
int linkOpenFile(int fd, int folder, const char* to);
/// Makes the descriptor `fd` the null device's, letting go of the file it
/// held while its number stays valid for its owner. 0 or -1 (errno set).
int retire(int fd);
/// A pipe whose two ends are closed on exec, into `fds` (read end first),
/// not asked of the seam. 0 or -1 (errno set).
int openPipe(int fds[2]);
/// The path of the open folder `folder` as the system knows it now, into
/// `path` (where it was moved to). 0 or -1 (errno set).
int folderPathOf(int folder, std::string& path);

/// `call()` (0 or -1 with errno set, or a count), called again while it is
/// interrupted.
template <typename Call>
auto retriedOnInterrupt(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

}  // namespace sys
