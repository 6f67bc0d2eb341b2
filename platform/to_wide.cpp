#include "platform/to_wide.h"

#include <system_error>
#include <vector>

#include "platform/platform.h"

std::wstring toWide(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::vector<wchar_t> buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  if (length <= 0 || MultiByteToWideChar(CP_ACP, 0, text, -1, buffer.data(), length) == 0)
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category());
  return std::wstring(buffer.data());
}

const wchar_t kUnshowableText[] = L"An error occurred, and its description could not be shown.";

std::wstring printableText(const char* text) {
  if (text == nullptr || *text == '\0') return L"Unknown exception";
  try {
    return toWide(text);
  } catch (const std::exception&) {
    return kUnshowableText;
  }
}
