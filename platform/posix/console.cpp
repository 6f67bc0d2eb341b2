// The console on POSIX systems: wide text to standard output in the C
// library's current encoding. Unlike std::wcout, it neither depends on the
// global C locale's state at first use nor goes bad on a character it cannot
// convert: such a character is shown as "?".
#include <array>
#include <climits>
#include <cwchar>
#include <streambuf>
#include <string>
#include <unistd.h>

#include "platform/platform.h"
#include "sys_calls.h"

namespace {

class ConsoleBuffer : public std::wstreambuf {
 public:
  ConsoleBuffer() { setp(wide_.data(), wide_.data() + wide_.size()); }

 protected:
  int_type overflow(int_type c) override {
    flushWide();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    flushWide();
    return 0;
  }

 private:
  // Output errors (a closed pipe, a full disk) are not the split's concern:
  // the text is dropped, the stream stays good.
  void flushWide() {
    std::string bytes;
    std::mbstate_t state{};
    char unit[MB_LEN_MAX];
    for (wchar_t* at = pbase(); at != pptr(); ++at) {
      const size_t n = std::wcrtomb(unit, *at, &state);
      if (n == static_cast<size_t>(-1)) {
        bytes.push_back('?');
        state = std::mbstate_t{};
      } else {
        bytes.append(unit, n);
      }
    }
    if (!bytes.empty()) sys::writeAll(STDOUT_FILENO, bytes.data(), bytes.size());
    setp(wide_.data(), wide_.data() + wide_.size());
  }

  std::array<wchar_t, 4096> wide_{};
};

}  // namespace

namespace platform {

std::wostream& console() {
  static ConsoleBuffer buffer;
  static std::wostream stream(&buffer);
  return stream;
}

}  // namespace platform
