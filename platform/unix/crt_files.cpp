// The C runtime's low-level file calls on POSIX descriptors.
//
// Imitated: the errno results, create-new-only, text mode (LF stored as CR LF,
// the caller's count returned), the position and length, and one sharing
// rule: an input opened with _SH_DENYWR or _SH_DENYRW is refused with EACCES
// while another opener holds the file open for writing (told apart from a
// denied permission by platform::lastOpenRefusal, as on Windows), and a
// writer that comes while it is open is seen (input_watch.h; the file's
// facts count it).
// Not imitated: keeping the writer out; create-new-only already keeps our
// outputs our own.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "held_folders.h"
#include "input_watch.h"
#include "native_text.h"
#include "platform/platform.h"
#include "platform_impl.h"
#include "sys_calls.h"

namespace {

// Descriptors opened in text mode; the runtime keeps the same per descriptor.
// Locked, as the runtime's table is: one thread writes an output while
// another opens and closes the files it reads, which may grow the table.
struct TextModeFds {
  std::mutex lock;
  std::vector<bool> fds;
};

TextModeFds& textModeFds() {
  static TextModeFds table;
  return table;
}

void rememberTextMode(int fd, bool text) {
  TextModeFds& table = textModeFds();
  const std::lock_guard<std::mutex> held(table.lock);
  if (static_cast<size_t>(fd) >= table.fds.size())
    table.fds.resize(static_cast<size_t>(fd) + 1, false);
  table.fds[static_cast<size_t>(fd)] = text;
}

bool isTextMode(int fd) {
  TextModeFds& table = textModeFds();
  const std::lock_guard<std::mutex> held(table.lock);
  return fd >= 0 && static_cast<size_t>(fd) < table.fds.size() &&
         table.fds[static_cast<size_t>(fd)];
}

int posixFlags(int oflag) {
  int flags = O_CLOEXEC;
  switch (oflag & (_O_WRONLY | _O_RDWR)) {
    case _O_WRONLY:
      flags |= O_WRONLY;
      break;
    case _O_RDWR:
      flags |= O_RDWR;
      break;
    default:
      flags |= O_RDONLY;
      break;
  }
  if (oflag & _O_CREAT) flags |= O_CREAT;
  if (oflag & _O_EXCL) flags |= O_EXCL;
  if (oflag & _O_TRUNC) flags |= O_TRUNC;
  if (oflag & FILESPLIT_O_NOFOLLOW) flags |= O_NOFOLLOW;
  return flags;
}

// What refused the calling thread's last open beyond its errno.
thread_local platform::OpenRefusal lastRefusal = platform::OpenRefusal::none;

bool deniesWriters(int shflag) { return shflag == _SH_DENYWR || shflag == _SH_DENYRW; }

// An open of `name`; one that creates a file directly in a held output
// folder creates it there, relative to the folder's descriptor, whatever
// the path names by now (output_folder.cpp tells why here).
int openByName(const std::string& name, int flags, mode_t mode) {
  std::string inFolder;
  const int folder = (flags & O_CREAT) != 0 ? held_folders::find(name, inFolder) : -1;
  if (folder >= 0) return sys::openAt(folder, inFolder.c_str(), flags, mode);
  return sys::open(name.c_str(), flags, mode);
}

}  // namespace

errno_t _wsopen_s(int* pfh, const wchar_t* filename, int oflag, int shflag, int pmode) {
  if (pfh == nullptr) return EINVAL;
  *pfh = -1;
  lastRefusal = platform::OpenRefusal::none;
  std::string name;
  if (filename == nullptr || !posix_text::encode(filename, name)) return EINVAL;
  const mode_t mode = (pmode & _S_IWRITE) ? 0666 : 0444;
  const bool readOnly = (oflag & (_O_WRONLY | _O_RDWR)) == 0;
  // A read never waits at the open for a writer (a FIFO); what was opened
  // is checked on the descriptor (platform/output_file.h). Reads block again.
  const int fd = openByName(name, posixFlags(oflag) | (readOnly ? O_NONBLOCK : 0), mode);
  if (fd < 0) return errno;
  if (readOnly) sys::fcntl(fd, F_SETFL, sys::fcntl(fd, F_GETFL, 0) & ~O_NONBLOCK);
  if (readOnly && deniesWriters(shflag) && !input_watch::start(fd)) {
    sys::close(fd);
    lastRefusal = platform::OpenRefusal::inUse;
    return EACCES;
  }
  if (readOnly) sys::fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  rememberTextMode(fd, (oflag & _O_TEXT) != 0);
  *pfh = fd;
  return 0;
}

int _read(int fd, void* buffer, unsigned int count) {
  const size_t asked = std::min<size_t>(count, 0x7FFFFFFF);
  return static_cast<int>(sys::read(fd, buffer, asked));
}

namespace {

// Text mode: LF goes out as CR LF, in slices so that memory stays bounded.
int writeText(int fd, const char* bytes, unsigned int count) {
  constexpr size_t kSlice = 65536;  // input bytes a slice; each may gain a CR
  std::string slice;
  slice.reserve(2 * kSlice);
  size_t at = 0;
  while (at < count) {
    const size_t end = std::min<size_t>(count, at + kSlice);
    slice.clear();
    for (; at < end; ++at) {
      if (bytes[at] == '\n') slice.push_back('\r');
      slice.push_back(bytes[at]);
    }
    if (sys::writeAll(fd, slice.data(), slice.size()) < 0) return -1;
  }
  return static_cast<int>(count);
}

}  // namespace

int _write(int fd, const void* buffer, unsigned int count) {
  if (count > 0x7FFFFFFF) {
    errno = EINVAL;
    return -1;
  }
  if (isTextMode(fd)) return writeText(fd, static_cast<const char*>(buffer), count);
  return static_cast<int>(sys::writeAll(fd, buffer, count));
}

int64_t _telli64(int fd) { return sys::lseek(fd, 0, SEEK_CUR); }

int64_t _filelengthi64(int fd) {
  struct stat info;
  return sys::fstat(fd, &info) == 0 ? info.st_size : -1;
}

int _close(int fd) {
  if (fd >= 0) rememberTextMode(fd, false);
  input_watch::stop(fd);
  return sys::close(fd);
}

errno_t _itoa_s(int value, char* buffer, size_t size, int radix) {
  if (buffer == nullptr || size == 0 || radix < 2 || radix > 36) return EINVAL;
  char digits[40];
  size_t n = 0;
  // Like the runtime, only radix 10 writes a sign; others show the bits.
  const bool negative = radix == 10 && value < 0;
  unsigned int rest =
      negative ? 0u - static_cast<unsigned int>(value) : static_cast<unsigned int>(value);
  do {
    digits[n++] = "0123456789abcdefghijklmnopqrstuvwxyz"[rest % static_cast<unsigned int>(radix)];
    rest /= static_cast<unsigned int>(radix);
  } while (rest != 0);
  if (negative) digits[n++] = '-';
  if (n + 1 > size) {
    buffer[0] = '\0';
    return EINVAL;
  }
  for (size_t i = 0; i < n; ++i) buffer[i] = digits[n - 1 - i];
  buffer[n] = '\0';
  return 0;
}

int sprintf_s(char* buffer, size_t size, const char* format, ...) {
  if (buffer == nullptr || size == 0) return -1;
  va_list arguments;
  va_start(arguments, format);
  const int n = std::vsnprintf(buffer, size, format, arguments);
  va_end(arguments);
  if (n < 0 || static_cast<size_t>(n) >= size) {
    buffer[0] = '\0';
    return -1;
  }
  return n;
}

namespace platform {

OpenRefusal lastOpenRefusal() { return lastRefusal; }

}  // namespace platform
