// The console on Windows: wide text to standard output, every LF as CR LF.
// To a console window it goes as UTF-16 through WriteConsoleW, so every
// character the font has is shown. To a pipe or a file it goes in the
// console's output code page (the ANSI code page when there is no console),
// a character that code page lacks written as its default character ("?").
// Unlike std::wcout, a character that cannot be shown never makes the
// stream go bad and drop what follows.
#include <array>
#include <streambuf>
#include <string>

#include "platform/platform.h"

namespace {

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The code page for output that does not go to a console window.
UINT pipeCodePage() {
  const UINT codePage = GetConsoleOutputCP();
  return codePage != 0 ? codePage : GetACP();
}

std::string encode(const std::wstring& text, UINT codePage) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  // No "best fit" look-alikes: a character the code page lacks shows as "?".
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int size =
      WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size == 0 && flags != 0) {  // a code page that takes no flags
    flags = 0;
    size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  }
  if (size <= 0) {
    // Not even the code page works: ASCII stays, the rest is "?".
    std::string ascii;
    for (const wchar_t c : text) ascii.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return ascii;
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

// Hands `count` units to `write(units, chunk, &written)` in chunks of at
// most `most` until all are taken; stops at the first call that fails or
// takes nothing.
template <typename Unit, typename Write>
void writeAll(const Unit* units, size_t count, DWORD most, Write write) {
  while (count > 0) {
    DWORD written = 0;
    const DWORD chunk = count > most ? most : static_cast<DWORD>(count);
    if (!write(units, chunk, &written) || written == 0) return;
    units += written;
    count -= written;
  }
}

// UTF-16 to a console window, the output code page to anything else.
void writeToStandardOutput(const std::wstring& text) {
  if (text.empty()) return;
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    writeAll(text.data(), text.size(), 8192, [out](const wchar_t* units, DWORD n, DWORD* done) {
      return WriteConsoleW(out, units, n, done, nullptr);
    });
    return;
  }
  const std::string bytes = encode(text, pipeCodePage());
  writeAll(bytes.data(), bytes.size(), 65536, [out](const char* units, DWORD n, DWORD* done) {
    return WriteFile(out, units, n, done, nullptr);
  });
}

class ConsoleBuffer : public std::wstreambuf {
 public:
  ConsoleBuffer() { setp(wide_.data(), wide_.data() + wide_.size()); }
  ~ConsoleBuffer() override { flushWide(true); }

 protected:
  int_type overflow(int_type c) override {
    flushWide(false);
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    flushWide(false);
    return 0;
  }

 private:
  // Output errors (a closed pipe, a full disk) are not the split's concern:
  // the text is dropped, the stream stays good. A high surrogate at the end
  // waits for its partner, so that the pair is converted as one character.
  void flushWide(bool last) {
    std::wstring text;
    wchar_t* end = pptr();
    const bool keepHalf = !last && end != pbase() && isHighSurrogate(end[-1]);
    if (keepHalf) --end;
    for (wchar_t* at = pbase(); at != end; ++at) {
      if (*at == L'\n') text.push_back(L'\r');
      text.push_back(*at);
    }
    const wchar_t half = keepHalf ? *end : L'\0';
    setp(wide_.data(), wide_.data() + wide_.size());
    if (keepHalf) {
      *pptr() = half;
      pbump(1);
    }
    writeToStandardOutput(text);
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
