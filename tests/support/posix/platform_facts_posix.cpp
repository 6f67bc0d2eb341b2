#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <vector>

#include "../platform_facts.h"
#include "platform/platform.h"

bool windowsPlatform() { return false; }

bool piecesPastTheCache() { return true; }

void leaveSystemError(unsigned long) {}

int64_t cachedBytes(const std::wstring& path, bool drop) {
  const int fd = open(platform::queryPath(path).c_str(), O_RDONLY);
  if (fd < 0) return -1;
  int64_t bytes = -1;
  struct stat info {};
  struct statfs volume {};
  const long page = sysconf(_SC_PAGESIZE);
  // tmpfs has no medium to read past its cache from.
  if (fstat(fd, &info) == 0 && fstatfs(fd, &volume) == 0 && volume.f_type != TMPFS_MAGIC &&
      (!drop || (fdatasync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0))) {
    const auto size = static_cast<size_t>(info.st_size);
    void* map = size == 0 ? nullptr : mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    std::vector<unsigned char> resident((size + page - 1) / page);
    if (size == 0) {
      bytes = 0;
    } else if (map != MAP_FAILED) {
      if (mincore(map, size, resident.data()) == 0) {
        bytes = 0;
        for (const unsigned char r : resident) bytes += (r & 1) * page;
      }
      munmap(map, size);
    }
  }
  close(fd);
  return bytes;
}

bool runsAsSuperuser() { return geteuid() == 0; }

std::wstring invalidFileName() { return L"bad\xD800"; }

// runFilesplit starts the child in the C.UTF-8 locale, which groups nothing.
std::wstring childNumber(uint64_t value) { return std::to_wstring(value); }

std::wstring shownAsJoined(const std::wstring& path) { return path; }
