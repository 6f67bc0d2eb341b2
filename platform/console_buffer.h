// The stream buffer behind the console: collects wide text and hands it to
// the platform's writer on each flush. It never goes bad, so a character
// that cannot be shown never silences what follows.
#pragma once

#include <array>
#include <streambuf>

class ConsoleBuffer : public std::wstreambuf {
 public:
  ConsoleBuffer() { setp(wide_.data(), wide_.data() + wide_.size()); }

 protected:
  /// Writes the units [begin, end) to its standard stream and returns how many
  /// it took; what it leaves (at most a high surrogate waiting for its
  /// partner) is handed over again with the next flush. With `last` no text
  /// follows. Output errors are the writer's to swallow.
  virtual size_t emit(const wchar_t* begin, const wchar_t* end, bool last) = 0;

  int_type overflow(int_type c) override;
  int sync() override;
  /// Writes out everything still held; for the writer's destructor.
  void finish() { flush(true); }

 private:
  void flush(bool last);

  std::array<wchar_t, 4096> wide_{};
};

namespace platform_console {

/// The platform's buffer for standard output; lives as long as the process.
ConsoleBuffer& standardOutput();
/// The same for standard error.
ConsoleBuffer& standardError();

}  // namespace platform_console
