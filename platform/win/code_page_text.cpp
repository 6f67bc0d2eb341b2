#include "code_page_text.h"

#include "platform/platform.h"

namespace code_page_text {
namespace {

bool isNoBreakSpace(wchar_t c) { return c == 0x00A0 || c == 0x202F; }

bool codePageHas(wchar_t c, UINT codePage) {
  if (codePage == CP_UTF8) return true;
  char bytes[8];
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &c, 1, bytes, sizeof bytes,
                                       nullptr, &usedDefault);
  return size > 0 && !usedDefault;
}

// `text` with each no-break space the code page lacks made a plain space:
// "1 024" reads better than "1?024".
std::wstring withPlainSpaces(std::wstring text, UINT codePage) {
  for (wchar_t& c : text)
    if (isNoBreakSpace(c) && !codePageHas(c, codePage)) c = L' ';
  return text;
}

}  // namespace

std::string encode(const std::wstring& original, unsigned codePage) {
  if (original.empty()) return std::string();
  const std::wstring text = withPlainSpaces(original, codePage);
  const int length = static_cast<int>(text.size());
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int size =
      WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size == 0 && flags != 0) {  // a code page that takes no flags
    flags = 0;
    size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  }
  if (size <= 0) {
    std::string ascii;
    for (const wchar_t c : text) ascii.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return ascii;
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

}  // namespace code_page_text
