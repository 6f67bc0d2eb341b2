#include "path_levels.h"

#include "platform/ascii_letters.h"

namespace windows_paths {
namespace {

bool isVerbatim(const std::wstring& path) { return path.compare(0, 4, L"\\\\?\\") == 0; }

bool isSeparator(wchar_t c, bool verbatim) { return c == L'\\' || (!verbatim && c == L'/'); }

// The end of the component that starts at `at`.
size_t componentEnd(const std::wstring& path, size_t at, bool verbatim) {
  while (at < path.size() && !isSeparator(path[at], verbatim)) ++at;
  return at;
}

// `at` moved past one separator, if one is there.
size_t pastSeparator(const std::wstring& path, size_t at, bool verbatim) {
  return at < path.size() && isSeparator(path[at], verbatim) ? at + 1 : at;
}

// The end of "server\share\" (or of as much of it as is there) from `at`.
size_t shareEnd(const std::wstring& path, size_t at, bool verbatim) {
  const size_t server = componentEnd(path, at, verbatim);
  if (server == path.size()) return server;
  return pastSeparator(path, componentEnd(path, server + 1, verbatim), verbatim);
}

bool equalsIgnoringCase(const std::wstring& path, size_t at, size_t end, const wchar_t* word) {
  size_t i = at;
  for (; i < end && *word != L'\0'; ++i, ++word) {
    if (ascii_letters::lowerCase(path[i]) != ascii_letters::lowerCase(*word)) return false;
  }
  return i == end && *word == L'\0';
}

}  // namespace

size_t rootLength(const std::wstring& path) {
  const bool verbatim = isVerbatim(path);
  const size_t n = path.size();
  if (n >= 2 && isSeparator(path[0], false) && isSeparator(path[1], false)) {
    const bool device =
        n >= 4 && (path[2] == L'?' || path[2] == L'.') && isSeparator(path[3], false);
    if (!device) return shareEnd(path, 2, false);  // \\server\share\ .
    // \\?\ or \\.\ : then a drive, UNC\server\share or a volume or device name.
    const size_t first = componentEnd(path, 4, verbatim);
    if (equalsIgnoringCase(path, 4, first, L"UNC") && first < n)
      return shareEnd(path, first + 1, verbatim);
    return pastSeparator(path, first, verbatim);
  }
  if (ascii_letters::startsWithDrive(path)) return pastSeparator(path, 2, false);
  return pastSeparator(path, 0, false);
}

std::vector<std::wstring> folderLevels(const std::wstring& path) {
  const bool verbatim = isVerbatim(path);
  std::vector<std::wstring> levels;
  for (size_t at = rootLength(path); at < path.size();) {
    const size_t end = componentEnd(path, at, verbatim);
    const std::wstring name = path.substr(at, end - at);
    if (!name.empty() && name != L"." && name != L"..") levels.push_back(path.substr(0, end));
    at = end + 1;
  }
  return levels;
}

}  // namespace windows_paths
