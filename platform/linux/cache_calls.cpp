// The system calls about the page cache: reads and writes past it, dropping
// a file's pages, asking which it holds.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "faked_file_system.h"
#include "linux_calls.h"
#include "platform/platform.h"
#include "platform/unix/sys_calls.h"

using platform::FaultPoint;
using platform::goAhead;

namespace {

// Whether the file system says that reads and writes of `fd` with O_DIRECT
// go past the cache, in units that kMediumAlignment is a multiple of.
// Accepting O_DIRECT says nothing: ext4 mounted data=journal, and tmpfs,
// take it and serve it from the cache. Before Linux 6.1 nothing is said.
bool directBypassesCache(int fd) {
  struct statx info {};
  if (!posix_test_hooks::fakedDirectAlignment(info.stx_dio_offset_align, info.stx_dio_mem_align) &&
      (::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &info) != 0 ||
       (info.stx_mask & STATX_DIOALIGN) == 0))
    return false;
  const auto fits = [](uint32_t align) {
    return align != 0 && platform::kMediumAlignment % align == 0;
  };
  return fits(info.stx_dio_offset_align) && fits(info.stx_dio_mem_align);
}

// cachestat(2), not in the C library's headers yet: the pages of the range
// of `length` bytes at `offset` (0: to the end) the cache holds.
int cachestat(int fd, uint64_t offset, uint64_t length, uint64_t& pages) {
  struct Range {
    uint64_t offset, length;
  } range{offset, length};
  struct Counts {
    uint64_t cached, dirty, writeback, evicted, recentlyEvicted;
  } counts{};
  constexpr long kCachestat = 451;  // the same number on every architecture
  if (::syscall(kCachestat, fd, &range, &counts, 0) != 0) return -1;
  pages = counts.cached;
  return 0;
}

// mincore(2) of the file `fd`, mapped a window at a time (a 32-bit process
// may have no room for a whole piece): whether any page of it is cached.
int mappedPagesCached(int fd, bool& any) {
  constexpr uint64_t kWindow = uint64_t{1} << 30;
  struct stat info {};
  if (::fstat(fd, &info) != 0) return -1;
  const auto size = static_cast<uint64_t>(info.st_size);
  const auto page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  any = false;
  for (uint64_t offset = 0; offset < size && !any; offset += kWindow) {
    const auto length = static_cast<size_t>(std::min(kWindow, size - offset));
    void* map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(offset));
    if (map == MAP_FAILED) return -1;
    std::vector<unsigned char> resident((length + page - 1) / page);
    const int result = ::mincore(map, length, resident.data());
    const int error = errno;
    ::munmap(map, length);
    errno = error;
    if (result != 0) return -1;
    any = std::any_of(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; });
  }
  return 0;
}

}  // namespace

namespace sys {

int setDirect(int fd, bool on, FaultPoint point) {
  if (!goAhead(point)) return -1;
  if (on && !directBypassesCache(fd)) {
    errno = EINVAL;
    return -1;
  }
  const int flags = sys::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return -1;
  return sys::fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) < 0 ? -1 : 0;
}

int dropCache(int fd) {
  if (!goAhead(FaultPoint::cacheDrop)) return errno;
  return ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
}

int inCache(int fd, off_t offset, size_t length, bool& whole) {
  if (!goAhead(FaultPoint::cacheQuery)) return -1;
  uint64_t pages = 0;
  if (cachestat(fd, static_cast<uint64_t>(offset), length, pages) != 0) return -1;
  static const auto page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  whole = pages >= (length + page - 1) / page;
  return 0;
}

int anyCached(int fd, bool& any) {
  if (!goAhead(FaultPoint::cacheQuery)) return -1;
  uint64_t pages = 0;
  if (cachestat(fd, 0, 0, pages) == 0) {
    any = pages != 0;
    return 0;
  }
  return mappedPagesCached(fd, any);
}

int inMemoryOnly(int fd, bool& only) {
  if (!goAhead(FaultPoint::fileSystemType)) return -1;
  struct statfs info {};
  if (::fstatfs(fd, &info) != 0) return -1;
  only = info.f_type == TMPFS_MAGIC || info.f_type == RAMFS_MAGIC;
  return 0;
}

}  // namespace sys
