// Process start, locale, names and path conversion on UNIX systems.
#include <fcntl.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "native_text.h"
#include "platform/platform.h"
#include "platform/to_wide.h"
#include "sys_calls.h"

namespace platform {

const wchar_t kJoinUsageExample[] = L"/home/aaa/aaa/aaa.bat /home/aaa";

void initProcess() {
  // Each hole is the lowest free descriptor, so the open fills it.
  for (int fd = 0; fd <= 2; ++fd)
    if (sys::fcntl(fd, F_GETFD, 0) < 0 && errno == EBADF &&
        sys::open("/dev/null", O_RDWR | O_CLOEXEC, 0) != fd)
      std::_Exit(EXIT_FAILURE);
  // Progress piped into a reader that quits (| head) must not kill a split
  // half way; the console simply drops what cannot be written.
  // It cannot fail for a valid signal number.
  (void)std::signal(SIGPIPE, SIG_IGN);
  // A write past the file-size limit (ulimit -f) fails as a write (EFBIG),
  // told and cleaned up, instead of killing the run without a word.
  (void)std::signal(SIGXFSZ, SIG_IGN);
  // A LANG that names a locale which is not installed leaves the "C" locale,
  // whose ASCII counts as UTF-8 for names and the console (native_text.h).
  (void)std::setlocale(LC_ALL, "");
}

bool isFileName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(std::wstring(L"/\0", 2)) == std::wstring::npos;
}

std::wstring nameAsCreated(const std::wstring& name) { return name; }

std::locale userLocale() {
  try {
    return std::locale("");
  } catch (const std::exception&) {
    return std::locale::classic();
  }
}

std::filesystem::path nativePath(const std::wstring& wide) {
  std::string bytes;
  if (!posix_text::encode(wide, bytes))
    throw std::filesystem::filesystem_error("path",
                                            std::make_error_code(std::errc::illegal_byte_sequence));
  return std::filesystem::path(bytes);
}

std::filesystem::path queryPath(const std::wstring& wide) { return nativePath(wide); }

std::wstring widePath(const std::filesystem::path& native) {
  const std::string& bytes = native.native();
  return posix_text::decode(bytes.data(), bytes.size());
}

// The library writes the paths' bytes as they are, in the locale's encoding
// like the rest; a byte that does not decode is shown as "?".
std::wstring filesystemErrorText(const std::filesystem::filesystem_error& error) {
  return printableText(error.what());
}

}  // namespace platform
