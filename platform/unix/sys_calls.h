// Every system call of the POSIX layer goes through here, so that it is
// written once with its EINTR handling and tests have one place to look.
#pragma once

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/vfs.h>

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
/// Makes the descriptor `fd` the null device's, letting go of the file it
/// held while its number stays valid for its owner. 0 or -1 (errno set).
int retire(int fd);
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
/// fcntl(2) F_SETFL turning O_DIRECT on or off for the open descriptor
/// `fd`, its other status flags kept: its reads and writes then go past the
/// cache, or through it again. Asks the seam at `point`, the verb's own
/// (reads from the medium, writes to it). Turned on only where the file
/// system says that such I/O of this file bypasses the cache, in units that
/// platform::kMediumAlignment is a multiple of (statx STATX_DIOALIGN, Linux
/// 6.1): ext4 mounted data=journal accepts O_DIRECT and serves it from the
/// cache. 0 or -1 (errno set; EINVAL where the file system refuses, or does
/// not say so).
int setDirect(int fd, bool on, platform::FaultPoint point);
/// fcntl(2) F_SETLEASE F_RDLCK on `fd`, its break to be told by `signal`
/// with the descriptor in si_fd (F_SETSIG), as the seam plans watching an
/// input. 0 or -1 (errno set: EAGAIN when an opener holds the file open for
/// writing; EACCES for another owner's file; EINVAL where the file system
/// keeps no leases).
int takeReadLease(int fd, int signal);
/// A new non-blocking inotify descriptor watching the file open at `fd` for
/// writes and changes of its attributes, as the seam plans watching an
/// input. The descriptor or -1 (errno set).
int watchWrites(int fd);
/// posix_fadvise(2); returns an errno value, 0 on success.
int fadvise(int fd, off_t offset, off_t length, int advice);
/// fdatasync(2), retried on EINTR. 0 or -1 (errno set).
int fdatasync(int fd);
/// sync_file_range(2) with SYNC_FILE_RANGE_WRITE: starts the write-back of
/// the range without waiting for it. 0 or -1 (errno set).
int startWriteBack(int fd, off_t offset, off_t length);
/// sync_file_range(2) waiting for the write-back of the range, started
/// first where it was not. 0 or -1 (errno set).
int awaitWriteBack(int fd, off_t offset, off_t length);
/// posix_fadvise(2) POSIX_FADV_DONTNEED on the whole file: its clean pages
/// leave the cache. Returns an errno value, 0 on success.
int dropCache(int fd);
/// cachestat(2) of the range of `length` bytes at `offset` of `fd`: sets
/// `whole` when the cache holds every page of it. Nothing is read or cached
/// by the query. 0 or -1 (errno set; ENOSYS before Linux 6.5).
int inCache(int fd, off_t offset, size_t length, bool& whole);
/// Whether the cache holds any page of the file `fd`: cachestat(2) (Linux
/// 6.5), else mincore(2) of a mapping of it. For a file the caller neither
/// owns nor may write, the system answers every page cached (mincore) or
/// refuses (cachestat). Nothing is read or cached by the query. 0 or -1
/// (errno set; where neither can be asked, such as a file that no process
/// can map).
int anyCached(int fd, bool& any);
/// fstatfs(2) of the file `fd`: sets `only` where its file system keeps
/// files in memory alone (tmpfs, ramfs), whose cache is its medium. 0 or -1
/// (errno set).
int inMemoryOnly(int fd, bool& only);
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
/// statfs(2) of the file system holding `path`, retried on EINTR. 0 or -1
/// (errno set).
int statfs(const char* path, struct statfs* info);

}  // namespace sys
