// What Windows holds as a plain file name: the rules of its path parsing and
// of its file systems, so that no name turns into a device or loses its end.
#include <string>

#include "platform/platform.h"
#include "platform/windows_names.h"

namespace {

wchar_t upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

bool sameLetters(const std::wstring& text, const wchar_t* upperCase) {
  const std::wstring expected(upperCase);
  if (text.size() != expected.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (upper(text[i]) != expected[i]) return false;
  return true;
}

// Whether `base` (a name's part before its first dot, blanks at its end
// dropped) is a device name: the path parser turns it into \\.\DEVICE.
bool isDeviceName(const std::wstring& base) {
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (sameLetters(base, device)) return true;
  if (base.size() != 4) return false;
  const wchar_t digit = base[3];
  const bool numbered = (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 ||
                        digit == 0x00B3;  // superscript one, two, three
  return numbered &&
         (sameLetters(base.substr(0, 3), L"COM") || sameLetters(base.substr(0, 3), L"LPT"));
}

}  // namespace

namespace platform {

bool isFileName(const std::wstring& name) {
  if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;  // "." and ".."
  for (const wchar_t c : name)
    if (c < 0x20 || std::wstring(L"<>:\"/\\|?*").find(c) != std::wstring::npos) return false;
  std::wstring base = name.substr(0, name.find(L'.'));
  base.erase(base.find_last_not_of(L' ') + 1);
  return !isDeviceName(base);
}

std::wstring nameAsCreated(const std::wstring& name) {
  const std::wstring stored = windows_names::stored(name);
  return stored.empty() ? name : stored;
}

}  // namespace platform
