// The console on POSIX systems: wide text to standard output in the C
// library's current encoding. Unlike std::wcout, it neither depends on the
// global C locale's state at first use nor goes bad on a character it cannot
// convert: such a character is shown as "?".
#include <unistd.h>

#include <climits>
#include <cwchar>
#include <string>

#include "platform/console_buffer.h"
#include "sys_calls.h"

namespace {

class PosixConsole : public ConsoleBuffer {
 public:
  ~PosixConsole() override { finish(); }

 protected:
  size_t emit(const wchar_t* begin, const wchar_t* end, bool) override {
    std::string bytes;
    std::mbstate_t state{};
    char unit[MB_LEN_MAX];
    for (const wchar_t* at = begin; at != end; ++at) {
      const size_t n = std::wcrtomb(unit, *at, &state);
      if (n == static_cast<size_t>(-1)) {
        bytes.push_back('?');
        state = std::mbstate_t{};
      } else {
        bytes.append(unit, n);
      }
    }
    if (!bytes.empty()) sys::writeAll(STDOUT_FILENO, bytes.data(), bytes.size());
    return static_cast<size_t>(end - begin);
  }
};

}  // namespace

namespace platform_console {

ConsoleBuffer& standardOutput() {
  static PosixConsole buffer;
  return buffer;
}

}  // namespace platform_console
