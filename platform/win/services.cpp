// Process setup, locale, error texts and path conversion on Windows.
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "platform/platform.h"
#include "platform/to_wide.h"
#include "platform/utf8.h"
#include "win32_errno.h"

namespace {

// Digit grouping and separators from the Windows user locale. The C++
// runtime's named locales cannot be had here: with mingw's libstdc++,
// std::locale("") throws for any setting but "C".
class UserNumpunct : public std::numpunct<wchar_t> {
 public:
  UserNumpunct(wchar_t thousandsSep, std::string grouping, wchar_t decimalPoint)
      : thousandsSep_(thousandsSep), grouping_(std::move(grouping)), decimalPoint_(decimalPoint) {}

 protected:
  wchar_t do_thousands_sep() const override { return thousandsSep_; }
  std::string do_grouping() const override { return grouping_; }
  wchar_t do_decimal_point() const override { return decimalPoint_; }

 private:
  wchar_t thousandsSep_;
  std::string grouping_;
  wchar_t decimalPoint_;
};

std::wstring localeText(LCTYPE type) {
  wchar_t text[64] = {};
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text, 64);
  return length > 1 ? std::wstring(text, static_cast<size_t>(length - 1)) : std::wstring();
}

// LOCALE_SGROUPING lists group sizes separated by ";". A final 0 repeats the
// group before it ("3;0": 1,234,567), without it the last group does not
// repeat ("3": 1234,567). C++ repeats the last size unless CHAR_MAX follows.
std::string cppGrouping(const std::wstring& windowsGrouping) {
  std::string grouping;
  bool repeatLast = false;
  for (size_t at = 0; at < windowsGrouping.size();) {
    size_t end = windowsGrouping.find(L';', at);
    if (end == std::wstring::npos) end = windowsGrouping.size();
    const long size = std::wcstol(windowsGrouping.substr(at, end - at).c_str(), nullptr, 10);
    repeatLast = size == 0;
    if (size > 0 && size < CHAR_MAX) grouping.push_back(static_cast<char>(size));
    at = end + 1;
  }
  if (!grouping.empty() && !repeatLast) grouping.push_back(CHAR_MAX);
  return grouping;
}

}  // namespace

namespace platform {

const wchar_t kJoinUsageExample[] = L"C:\\Users\\aaa\\aaa.bat C:\\Users";

void initProcess() {
  // A runtime descriptor 0 to 2 without a handle may be the next one a file
  // is opened on, and the console's output would go into that file. (The
  // runtime may keep a slot with no console as open, handle -2: no file can
  // take that one.)
  for (int fd = 0; fd <= 2; ++fd) {
    if (_get_osfhandle(fd) != -1) continue;
    int nul = -1;
    if (_wsopen_s(&nul, L"NUL", _O_RDWR | _O_BINARY, _SH_DENYNO, 0) != 0) std::_Exit(EXIT_FAILURE);
    if (nul == fd) continue;
    const bool moved = _dup2(nul, fd) == 0;
    _close(nul);
    if (!moved) std::_Exit(EXIT_FAILURE);
  }
  // A drive without its medium fails the call instead of asking the user
  // in a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

std::locale userLocale() {
  try {
    const std::wstring separator = localeText(LOCALE_STHOUSAND);
    const std::wstring decimal = localeText(LOCALE_SDECIMAL);
    // A numpunct separator is one character; a longer one cannot be shown.
    const std::string grouping =
        separator.size() == 1 ? cppGrouping(localeText(LOCALE_SGROUPING)) : std::string();
    return std::locale(std::locale::classic(),
                       new UserNumpunct(separator.size() == 1 ? separator[0] : L',', grouping,
                                        decimal.size() == 1 ? decimal[0] : L'.'));
  } catch (const std::exception&) {
    return std::locale::classic();
  }
}

std::wstring systemErrorText(int errnum) {
  wchar_t text[256] = {};
  if (_wcserror_s(text, 256, errnum) != 0) return L"Unknown error " + std::to_wstring(errnum);
  return text;
}

std::filesystem::path nativePath(const std::wstring& wide) { return std::filesystem::path(wide); }

// GetFullPathNameW rather than std::filesystem::absolute, which would link
// the library's file operations and with them the runtime's stat.
std::filesystem::path queryPath(const std::wstring& wide) {
  std::filesystem::path native(wide);  // not const: returned by move
  if (!native.has_root_name() || native.has_root_directory()) return native;
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return native;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);  // the size asked for, terminator included
  }
}

std::wstring widePath(const std::filesystem::path& native) { return native.native(); }

// libstdc++ writes what() as "filesystem error: OPERATION: REASON [PATH1]
// [PATH2]", the reason in the runtime's (ANSI) text and each path in UTF-8,
// which no single code page reads back. The paths are taken from the error
// itself instead.
std::wstring filesystemErrorText(const std::filesystem::filesystem_error& error) {
  const std::string what = error.what();
  try {
    std::string tail;
    std::wstring wideTail;
    for (const std::filesystem::path* path : {&error.path1(), &error.path2()}) {
      if (path->empty()) continue;
      tail += " [" + path->u8string() + "]";
      wideTail += L" [" + path->native() + L"]";
    }
    if (!tail.empty() && what.size() >= tail.size() &&
        what.compare(what.size() - tail.size(), tail.size(), tail) == 0) {
      const std::wstring head = printableText(what.substr(0, what.size() - tail.size()).c_str());
      return head == kUnshowableText ? head : head + wideTail;
    }
  } catch (const std::exception&) {
    // A path with no UTF-8 form: the text as a whole below.
  }
  std::wstring wide;
  if (utf8::decode(what.data(), what.size(), wide)) return wide;
  return printableText(what.c_str());
}

}  // namespace platform
