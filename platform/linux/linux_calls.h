// The system calls of the table (platform/unix/sys_calls.h) that only Linux
// code of the layer makes: the cache, leases and inotify, statfs types.
#pragma once

#include <sys/types.h>
#include <sys/vfs.h>

#include <cstddef>

#include "platform/fault_point.h"

namespace sys {

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
/// modifications (IN_MODIFY: writes, truncations), as the seam plans
/// watching an input. The descriptor or -1 (errno set).
int watchWrites(int fd);
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
/// statfs(2) of the file system holding `path`, retried on EINTR. 0 or -1
/// (errno set).
int statfs(const char* path, struct statfs* info);

}  // namespace sys
