#include "platform/console_buffer.h"

#include <algorithm>

#include "platform/platform.h"

ConsoleBuffer::int_type ConsoleBuffer::overflow(int_type c) {
  flush(false);
  if (!traits_type::eq_int_type(c, traits_type::eof()) && pptr() != epptr()) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int ConsoleBuffer::sync() {
  flush(false);
  return 0;
}

void ConsoleBuffer::flush(bool last) {
  const size_t pending = static_cast<size_t>(pptr() - pbase());
  const size_t taken = std::min(emit(pbase(), pptr(), last), pending);
  std::copy(pbase() + taken, pptr(), wide_.data());
  setp(wide_.data(), wide_.data() + wide_.size());
  pbump(static_cast<int>(pending - taken));
}

namespace platform {

std::wostream& console() {
  static std::wostream stream(&platform_console::standardOutput());
  return stream;
}

}  // namespace platform
