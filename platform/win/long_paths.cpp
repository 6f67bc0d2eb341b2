#include "long_paths.h"

#include "platform/platform.h"

namespace long_paths {
namespace {

bool startsWith(const std::wstring& text, const wchar_t* start) {
  return text.compare(0, std::char_traits<wchar_t>::length(start), start) == 0;
}

}  // namespace

std::wstring fullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::wstring();
  full.resize(length);
  return full;
}

std::wstring verbatimForm(const std::wstring& full) {
  if (full.size() < kLongFrom || startsWith(full, L"\\\\?\\")) return full;
  if (startsWith(full, L"\\\\.\\")) return L"\\\\?\\" + full.substr(4);
  if (startsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring systemPath(const std::wstring& path) {
  if (startsWith(path, L"\\\\?\\")) return path;
  // A relative path too may come to a long one.
  const std::wstring full = fullPath(path);
  if (full.size() < kLongFrom) return path;
  return verbatimForm(full);
}

}  // namespace long_paths
