#include "long_paths.h"

#include <algorithm>
#include <vector>

namespace long_paths {
namespace {

bool startsWith(const std::wstring& text, const wchar_t* start) {
  return text.compare(0, std::char_traits<wchar_t>::length(start), start) == 0;
}

// `full`, a full path, in the "\\?\" form when it is long; a shorter one,
// and one in the "\\?\" form already, as it is. "\\.\" is normalized by
// the system as a plain path is, so it turns into "\\?\" like one.
std::wstring verbatimForm(const std::wstring& full) {
  if (full.size() < kLongFrom || startsWith(full, L"\\\\?\\")) return full;
  if (startsWith(full, L"\\\\.\\")) return L"\\\\?\\" + full.substr(4);
  if (startsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
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

SystemPath systemPath(const std::wstring& path) {
  if (startsWith(path, L"\\\\?\\")) return SystemPath(path);
  // A relative path too may come to a long one.
  const std::wstring full = fullPath(path);
  if (full.size() < kLongFrom) return SystemPath(path);
  return SystemPath(verbatimForm(full));
}

std::optional<SystemPath> fullSystemPath(const std::wstring& path) {
  const std::wstring full = verbatimForm(fullPath(path));
  if (full.empty()) return std::nullopt;
  return SystemPath(full);
}

std::optional<SystemPath> volumeRoot(const SystemPath& path) {
  // The root is the path's start with a backslash added at most.
  std::vector<wchar_t> root(std::max<size_t>(path.path_.size() + 2, MAX_PATH + 1));
  if (!GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size())))
    return std::nullopt;
  return SystemPath(root.data());
}

std::optional<SystemPath> finalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= path.size()) {  // too small: `length` counts the terminator too
    path.resize(length);
    length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (length == 0 || length >= path.size()) return std::nullopt;
  path.resize(length);
  return SystemPath(path);
}

SystemPath SystemPath::asFolder() const {
  const bool ends = !path_.empty() && (path_.back() == L'\\' || path_.back() == L'/');
  return SystemPath(ends ? path_ : path_ + L'\\');
}

}  // namespace long_paths
