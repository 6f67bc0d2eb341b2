// What the file system holding the output folder tells about itself, on
// Windows: the space left to this user and the file system's name.
#include <algorithm>
#include <cwchar>
#include <vector>

#include "long_paths.h"
#include "platform/platform.h"

namespace platform {

std::optional<uint64_t> freeSpace(const std::wstring& folder) {
  // Absolute: GetVolumePathNameW and the space query would take a relative
  // path for one on the boot volume.
  std::wstring directory = long_paths::verbatimForm(long_paths::fullPath(folder));
  if (directory.empty()) return std::nullopt;
  // A share's name ("\\server\share\") needs its trailing backslash.
  if (directory.back() != L'\\' && directory.back() != L'/') directory += L'\\';
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  if (!GetDiskFreeSpaceExW(directory.c_str(), &available, &total, nullptr) || total.QuadPart == 0)
    return std::nullopt;
  return available.QuadPart;
}

bool onFatFileSystem(const std::wstring& folder) {
  const std::wstring full = long_paths::verbatimForm(long_paths::fullPath(folder));
  if (full.empty()) return false;
  // The root is the path's start with a backslash added at most.
  std::vector<wchar_t> root(std::max<size_t>(full.size() + 2, MAX_PATH + 1));
  if (!GetVolumePathNameW(full.c_str(), root.data(), static_cast<DWORD>(root.size()))) return false;
  wchar_t name[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(root.data(), nullptr, 0, nullptr, nullptr, nullptr, name,
                             MAX_PATH + 1))
    return false;
  // "FAT" (FAT12, FAT16) and "FAT32"; exFAT, which has no such limit, is "exFAT".
  return std::wcsncmp(name, L"FAT", 3) == 0;
}

std::optional<uint64_t> largestFileAllowed() { return std::nullopt; }

}  // namespace platform
