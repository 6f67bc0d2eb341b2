// The console on POSIX systems: wide text to standard output or error in the encoding
// of file names (native_text.h). Unlike std::wcout, it neither depends on the
// global C locale's state at first use nor goes bad on a character it cannot
// convert: such a character, and a byte of a name that did not decode, is
// shown as "?"; a control character is shown as its escape.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "native_text.h"
#include "platform/console_buffer.h"
#include "platform/platform.h"
#include "sys_calls.h"

namespace {

class PosixConsole : public ConsoleBuffer {
 public:
  explicit PosixConsole(int fd) : fd_(fd) {}
  ~PosixConsole() override { finish(); }

 protected:
  size_t emit(const wchar_t* begin, const wchar_t* end, bool) override {
    const std::wstring shown = platform::escapeControls(std::wstring(begin, end), true);
    const std::string bytes = posix_text::displayBytes(shown.data(), shown.data() + shown.size());
    if (!bytes.empty()) sys::writeAll(fd_, bytes.data(), bytes.size());
    return static_cast<size_t>(end - begin);
  }

 private:
  int fd_;
};

}  // namespace

namespace platform {

void writeFixedLine(StandardStream stream, const char* line) noexcept {
  char bytes[202];
  size_t count = 0;
  for (; line[count] != '\0' && count + 1 < sizeof bytes; ++count) bytes[count] = line[count];
  bytes[count++] = '\n';
  const int fd = stream == StandardStream::output ? STDOUT_FILENO : STDERR_FILENO;
  for (size_t done = 0; done < count;) {
    const ssize_t n = sys::writeQuietly(fd, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace platform

namespace platform_console {

ConsoleBuffer& standardOutput() {
  static PosixConsole buffer(STDOUT_FILENO);
  return buffer;
}

ConsoleBuffer& standardError() {
  static PosixConsole buffer(STDERR_FILENO);
  return buffer;
}

}  // namespace platform_console
