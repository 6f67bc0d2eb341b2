// The runtime's transfers with a failure's errno taken from the Win32 error
// behind it where there is one: the runtime's own map tells errors 19 to 36
// (a drive not ready, a CRC or write fault, a general failure) as EACCES,
// so a failing stick would read as a rights problem.
#include "win32_errno.h"

#undef _read
#undef _write
#undef _close

namespace {

#if FILESPLIT_FAULT_INJECTION
int rawRead(int fd, void* buffer, unsigned int count) { return win_seam::read(fd, buffer, count); }
int rawWrite(int fd, const void* buffer, unsigned int count) {
  return win_seam::write(fd, buffer, count);
}
int rawClose(int fd) { return win_seam::close(fd); }
#else
int rawRead(int fd, void* buffer, unsigned int count) { return ::_read(fd, buffer, count); }
int rawWrite(int fd, const void* buffer, unsigned int count) {
  return ::_write(fd, buffer, count);
}
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

int read(int fd, void* buffer, unsigned int count) {
  return toldThroughTheMap([&] { return rawRead(fd, buffer, count); });
}

int write(int fd, const void* buffer, unsigned int count) {
  return toldThroughTheMap([&] { return rawWrite(fd, buffer, count); });
}

int close(int fd) {
  return toldThroughTheMap([&] { return rawClose(fd); });
}

}  // namespace win_crt
