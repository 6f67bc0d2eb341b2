#include <algorithm>

#include "platform/console_buffer.h"
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

std::wstring escapeControls(const std::wstring& text, bool keepLineEnds) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring shown;
  shown.reserve(text.size());
  for (const wchar_t c : text) {
    const auto code = static_cast<uint32_t>(c);  // NOLINT(bugprone-signed-char-misuse)
    const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
    if (!control || (keepLineEnds && c == L'\n')) {
      shown.push_back(c);
    } else if (c == L'\t' || c == L'\n' || c == L'\r') {
      shown += c == L'\t' ? L"\\t" : c == L'\n' ? L"\\n" : L"\\r";
    } else {
      shown += code < 0x80 ? L"\\x" : L"\\u00";
      shown.push_back(kDigits[code >> 4]);
      shown.push_back(kDigits[code & 0xF]);
    }
  }
  return shown;
}

std::wostream& console() {
  static std::wostream stream(&platform_console::standardOutput());
  return stream;
}

std::wostream& errorConsole() {
  static std::wostream stream(&platform_console::standardError());
  return stream;
}

}  // namespace platform
