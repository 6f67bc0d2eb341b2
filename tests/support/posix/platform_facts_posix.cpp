#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <string>
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

namespace {
std::vector<int> taken;
void* mapped = MAP_FAILED;
}  // namespace

bool changeAsOtherProgram(const std::wstring& path, bool map) {
  const std::string name = platform::queryPath(path);
  if (!map) return setxattr(name.c_str(), "user.origin", "x", 1, 0) == 0;
  const int fd = open(name.c_str(), O_RDWR);
  struct stat before {};
  if (fd < 0 || fstat(fd, &before) != 0) return false;
  mapped = mmap(nullptr, 1, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (mapped != MAP_FAILED) *static_cast<volatile char*>(mapped) = *static_cast<char*>(mapped);
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  const bool done = mapped != MAP_FAILED && futimens(fd, times) == 0;
  close(fd);
  return done;
}

bool takeDescriptorsBelow(int number) {
  struct rlimit files {};  // with room for the outputs opened after
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = std::max<rlim_t>(files.rlim_cur, static_cast<rlim_t>(number) + 64);
  if (setrlimit(RLIMIT_NOFILE, &files) != 0) return false;
  while (taken.empty() || (taken.back() >= 0 && taken.back() < number))
    taken.push_back(open("/dev/null", O_RDONLY | O_CLOEXEC));
  return taken.back() >= 0;
}

void endOtherPrograms() {
  if (mapped != MAP_FAILED) munmap(mapped, 1);
  mapped = MAP_FAILED;
  for (const int fd : taken) close(fd);
  taken.clear();
}
