// The runtime's opens, a long path given in the form the system takes
// without its long-path policy; and its transfers, a failure's errno taken
// from the Win32 error behind it where there is one: the runtime's own map
// tells errors 19 to 36 (a drive not ready, a CRC or write fault, a general
// failure) as EACCES, so a failing stick would read as a rights problem.
#include "call_journal.h"
#include "long_paths.h"
#include "win32_errno.h"

#undef _wsopen_s
#undef _read
#undef _write
#undef _close

namespace {

// The Win32 error that refused this thread's last open; 0 after one that
// succeeded or that a test planned to fail.
thread_local DWORD lastOpenError = 0;

#if FILESPLIT_FAULT_INJECTION
errno_t rawOpen(int* pfh, const wchar_t* filename, int oflag, int shflag, int pmode) {
  return win_seam::wsopen_s(pfh, filename, oflag, shflag, pmode);
}
int rawRead(int fd, void* buffer, unsigned int count) { return win_seam::read(fd, buffer, count); }
int rawWrite(int fd, const void* buffer, unsigned int count) {
  return win_seam::write(fd, buffer, count);
}
int rawClose(int fd) { return win_seam::close(fd); }
#else
errno_t rawOpen(int* pfh, const wchar_t* filename, int oflag, int shflag, int pmode) {
  return ::_wsopen_s(pfh, filename, oflag, shflag, pmode);
}
int rawRead(int fd, void* buffer, unsigned int count) { return ::_read(fd, buffer, count); }
int rawWrite(int fd, const void* buffer, unsigned int count) { return ::_write(fd, buffer, count); }
int rawClose(int fd) { return ::_close(fd); }
#endif

// `result` as is; for a failure the system's error replaces the runtime's
// errno where the runtime kept one (a failure a test planned keeps none).
template <typename Call>
int toldThroughTheMap(Call call) {
  _doserrno = 0;
  const int result = call();
  if (result < 0 && _doserrno != 0) errno = win32_errno::errnoOf(_doserrno, errno);
  return result;
}

}  // namespace

namespace win_crt {

errno_t wsopen_s(int* pfh, const wchar_t* filename, int oflag, int shflag, int pmode) {
  _doserrno = 0;
  const errno_t error = filename == nullptr ? rawOpen(pfh, filename, oflag, shflag, pmode)
                                            : rawOpen(pfh, long_paths::systemPath(filename).c_str(),
                                                      oflag, shflag, pmode);
  lastOpenError = error != 0 ? static_cast<DWORD>(_doserrno) : 0;
  return error;
}

int read(int fd, void* buffer, unsigned int count) {
  return toldThroughTheMap([&] { return rawRead(fd, buffer, count); });
}

int write(int fd, const void* buffer, unsigned int count) {
  return toldThroughTheMap([&] { return rawWrite(fd, buffer, count); });
}

int close(int fd) {
  call_journal::note(L"close");
  return toldThroughTheMap([&] { return rawClose(fd); });
}

}  // namespace win_crt

namespace platform {

OpenRefusal lastOpenRefusal() {
  switch (lastOpenError) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return OpenRefusal::inUse;
    case ERROR_FILENAME_EXCED_RANGE:
      return OpenRefusal::pathTooLong;
    default:
      return OpenRefusal::none;
  }
}

}  // namespace platform
