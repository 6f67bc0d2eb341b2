// Flushes, write-back and cache drops on POSIX systems (Linux calls).
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include "direct_writes.h"
#include "linux_calls.h"
#include "platform/platform.h"
#include "platform/sector_reads.h"
#include "platform/unix/native_text.h"
#include "platform/unix/sys_calls.h"

using platform::FaultPoint;

namespace {

#ifdef FILESPLIT_WRITE_BACK_WINDOW
constexpr uint64_t kWriteBackWindow = FILESPLIT_WRITE_BACK_WINDOW;
#else
// How far the medium may trail the writes. Little against the cache a
// system lets fill before it makes a writer wait (gigabytes here), it keeps
// the dots within a few seconds of even a slow stick, and on a fast disk it
// is still a deep enough queue to keep the disk busy.
constexpr uint64_t kWriteBackWindow = uint64_t{8} << 20;
#endif

// The unit of reads past the cache: every logical block size of Linux's
// devices divides it.
constexpr uint32_t kSector = platform::kMediumAlignment;

// Reads of a descriptor with O_DIRECT set, at explicit offsets. Where the
// reads are to come from the cache when it holds them (`whereUncached`),
// O_DIRECT is set only for a read whose pages the cache lacks: a file that
// is not in the cache fills none of it, which costs more here than the read
// itself, and one that is in it is not read from the disk again.
class DirectReader final : public sector_reads::SectorReader {
 public:
  DirectReader(int fd, bool whereUncached)
      : SectorReader(kSector), fd_(fd), whereUncached_(whereUncached) {}

 private:
  long long readAt(void* buffer, size_t size, uint64_t offset) override {
    if (whereUncached_) {
      bool cached = false;
      if (sys::inCache(fd_, static_cast<off_t>(offset), size, cached) != 0) cached = false;
      // Should the switch fail, the read goes the other way: either way
      // gives the same bytes.
      if (cached == direct_ && sys::setDirect(fd_, !cached, FaultPoint::cacheQuery) == 0)
        direct_ = !cached;
    }
#if FILESPLIT_FAULT_INJECTION
    if (sector_reads::recording != nullptr)
      sector_reads::recording->went((sys::fcntl(fd_, F_GETFL, 0) & O_DIRECT) != 0);
#endif
    return sys::pread(fd_, buffer, size, static_cast<off_t>(offset));
  }
  bool size(uint64_t& bytes) override {
    struct stat info {};
    if (sys::fstat(fd_, &info) != 0) return false;
    bytes = static_cast<uint64_t>(info.st_size);
    return true;
  }

  int fd_;  // the file's own descriptor, which outlives the reader
  const bool whereUncached_;
  bool direct_ = true;  // O_DIRECT is set on fd_
};

}  // namespace

namespace platform {

#if FILESPLIT_NO_FLUSH
int flushToMedium(int) { return 0; }
int startWriteBack(int, uint64_t, uint64_t) { return 0; }
int readFromMedium(int, uint32_t, std::unique_ptr<MediumReader>&) { return 0; }
void readMediumWhereUncached(int, uint32_t, std::unique_ptr<MediumReader>&) {}
std::unique_ptr<MediumWriter> mediumWriter(int, uint32_t) { return nullptr; }
int flushFolder(const std::wstring&) { return 0; }
#else
namespace {

// After a drop: kPagesStayCached where pages of the file are still cached
// (another process maps them), so that its reads could come from them; not
// where the file system keeps files in memory alone (tmpfs), whose cache is
// its medium. Where the cache cannot be asked at all (a file no process can
// map), the drop stands.
int pagesLeftCached(int fd) {
  bool any = false;
  if (sys::anyCached(fd, any) != 0 || !any) return 0;
  bool inMemoryOnly = false;
  if (sys::inMemoryOnly(fd, inMemoryOnly) == 0 && inMemoryOnly) return 0;
  return platform::kPagesStayCached;
}

}  // namespace

int flushToMedium(int fd) { return sys::fdatasync(fd) == 0 ? 0 : errno; }

int startWriteBack(int fd, uint64_t offset, uint64_t length) {
  if (sys::startWriteBack(fd, static_cast<off_t>(offset), static_cast<off_t>(length)) != 0)
    return errno;
  // The ranges waited for, one per block, follow each other as the blocks do.
  if (kWriteBackWindow == 0 || offset < kWriteBackWindow) return 0;
  // The wait reports the range's write error once, and no later flush does.
  return sys::awaitWriteBack(fd, static_cast<off_t>(offset - kWriteBackWindow),
                             static_cast<off_t>(length)) == 0
             ? 0
             : errno;
}

int readFromMedium(int fd, uint32_t bufferSize, std::unique_ptr<MediumReader>& reader) {
  // Past the cache even where another process maps the file, whose pages
  // no drop could take out of it.
  if (sector_reads::fits(kSector, bufferSize)) {
    if (sys::setDirect(fd, true, FaultPoint::cacheDrop) == 0) {
      sector_reads::recordOpen(true, kSector);
      reader = std::make_unique<DirectReader>(fd, false);
      return 0;
    }
    if (errno != EINVAL) return errno;
  }
  // A file system that refuses, or does not say that O_DIRECT bypasses its
  // cache: the file's cached pages dropped, written back first where dirty,
  // so that the descriptor's own reads come from the medium.
  if (sys::fdatasync(fd) != 0) return errno;
  if (const int error = sys::dropCache(fd)) return error;
  return pagesLeftCached(fd);
}

void readMediumWhereUncached(int fd, uint32_t bufferSize, std::unique_ptr<MediumReader>& reader) {
  bool cached = false;
  // Without the query (before Linux 6.5), or where the file system refuses
  // reads past the cache, every read goes through it.
  if (!sector_reads::fits(kSector, bufferSize) || sys::inCache(fd, 0, kSector, cached) != 0 ||
      sys::setDirect(fd, true, FaultPoint::cacheQuery) != 0)
    return;
  sector_reads::recordOpen(true, kSector);
  reader = std::make_unique<DirectReader>(fd, true);
}

std::unique_ptr<MediumWriter> mediumWriter(int fd, uint32_t) { return direct_writes::open(fd); }

int flushFolder(const std::wstring& folder) {
  std::string name;
  if (!posix_text::encode(folder.empty() ? L"." : folder, name)) return EINVAL;
  return sys::fsyncFolder(name.c_str()) == 0 ? 0 : errno;
}
#endif

}  // namespace platform
