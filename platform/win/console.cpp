// The console on Windows: wide text to standard output or error, every LF
// as CR LF.
// To a console window it goes as UTF-16 through WriteConsoleW, so every
// character the font has is shown. To a pipe or a file it goes in the
// console's output code page (the ANSI code page when there is no console),
// a character that code page lacks written as its default character ("?")
// and a no-break space it lacks as a plain space (code_page_text.h).
// Unlike std::wcout, a character that cannot be shown never makes the
// stream go bad and drop what follows. A control character is shown as its
// escape.
#include <string>

#include "code_page_text.h"
#include "platform/console_buffer.h"
#include "platform/platform.h"

namespace {

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The code page for output that does not go to a console window.
UINT pipeCodePage() {
  const UINT codePage = GetConsoleOutputCP();
  return codePage != 0 ? codePage : GetACP();
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
void writeToStandardStream(DWORD stream, const std::wstring& text) {
  if (text.empty()) return;
  const HANDLE out = GetStdHandle(stream);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    writeAll(text.data(), text.size(), 8192, [out](const wchar_t* units, DWORD n, DWORD* done) {
      return WriteConsoleW(out, units, n, done, nullptr);
    });
    return;
  }
  const std::string bytes = code_page_text::encode(text, pipeCodePage());
  writeAll(bytes.data(), bytes.size(), 65536, [out](const char* units, DWORD n, DWORD* done) {
    return WriteFile(out, units, n, done, nullptr);
  });
}

class WindowsConsole : public ConsoleBuffer {
 public:
  explicit WindowsConsole(DWORD stream) : stream_(stream) {}
  ~WindowsConsole() override { finish(); }

 protected:
  // A high surrogate at the end waits for its partner, so that the pair is
  // converted as one character.
  size_t emit(const wchar_t* begin, const wchar_t* end, bool last) override {
    if (!last && end != begin && isHighSurrogate(end[-1])) --end;
    std::wstring text;
    for (const wchar_t c : platform::escapeControls(std::wstring(begin, end), true)) {
      if (c == L'\n') text.push_back(L'\r');
      text.push_back(c);
    }
    writeToStandardStream(stream_, text);
    return static_cast<size_t>(end - begin);
  }

 private:
  DWORD stream_;  // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE
};

}  // namespace

namespace platform {

void writeFixedLine(StandardStream stream, const char* line) noexcept {
  const HANDLE out =
      GetStdHandle(stream == StandardStream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  // ASCII: the same bytes in every code page a console writes, and as UTF-16
  // each byte widened.
  char bytes[203];
  wchar_t units[203];
  size_t count = 0;
  for (; line[count] != '\0' && count + 2 < sizeof bytes; ++count) {
    bytes[count] = line[count];
    units[count] = static_cast<wchar_t>(static_cast<unsigned char>(line[count]));
  }
  for (const char end : {'\r', '\n'}) {
    bytes[count] = end;
    units[count++] = static_cast<wchar_t>(end);
  }
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    writeAll(units, count, 8192, [out](const wchar_t* part, DWORD n, DWORD* done) {
      return WriteConsoleW(out, part, n, done, nullptr);
    });
    return;
  }
  writeAll(bytes, count, 65536, [out](const char* part, DWORD n, DWORD* done) {
    return WriteFile(out, part, n, done, nullptr);
  });
}

}  // namespace platform

namespace platform_console {

ConsoleBuffer& standardOutput() {
  static WindowsConsole buffer(STD_OUTPUT_HANDLE);
  return buffer;
}

ConsoleBuffer& standardError() {
  static WindowsConsole buffer(STD_ERROR_HANDLE);
  return buffer;
}

}  // namespace platform_console
