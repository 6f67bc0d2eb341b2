// Flushes, write-back and cache drops on POSIX systems (Linux calls).
#include <fcntl.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include "direct_writes.h"
#include "native_text.h"
#include "platform/platform.h"
#include "sys_calls.h"

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

}  // namespace

namespace platform {

#if FILESPLIT_NO_FLUSH
int flushToMedium(int) { return 0; }
int startWriteBack(int, uint64_t, uint64_t) { return 0; }
int readFromMedium(int, uint32_t, std::unique_ptr<MediumReader>&) { return 0; }
std::unique_ptr<MediumWriter> mediumWriter(int) { return nullptr; }
int flushFolder(const std::wstring&) { return 0; }
#else
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

int readFromMedium(int fd, uint32_t, std::unique_ptr<MediumReader>&) {
  // Dirty pages cannot be dropped: they are written back first.
  if (sys::fdatasync(fd) != 0) return errno;
  return sys::dropCache(fd);
}

std::unique_ptr<MediumWriter> mediumWriter(int fd) { return direct_writes::open(fd); }

int flushFolder(const std::wstring& folder) {
  std::string name;
  if (!posix_text::encode(folder.empty() ? L"." : folder, name)) return EINVAL;
  return sys::fsyncFolder(name.c_str()) == 0 ? 0 : errno;
}
#endif

}  // namespace platform
