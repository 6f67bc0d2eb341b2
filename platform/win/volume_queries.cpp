// What the file system holding the output folder tells about itself, on
// Windows: the space left to this user and the file system's name.
#include <cwchar>

#include "long_paths.h"
#include "path_calls.h"
#include "platform/platform.h"

namespace platform {

std::optional<uint64_t> freeSpace(const std::wstring& folder) {
  // Absolute: GetVolumePathNameW and the space query would take a relative
  // path for one on the boot volume.
  const std::optional<long_paths::SystemPath> directory = long_paths::fullSystemPath(folder);
  if (!directory) return std::nullopt;
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  // A share's name ("\\server\share\") needs its trailing backslash.
  if (!path_calls::diskFreeSpace(directory->asFolder(), available, total) || total.QuadPart == 0)
    return std::nullopt;
  return available.QuadPart;
}

bool onFatFileSystem(const std::wstring& folder) {
  const std::optional<long_paths::SystemPath> full = long_paths::fullSystemPath(folder);
  if (!full) return false;
  const std::optional<long_paths::SystemPath> root = long_paths::volumeRoot(*full);
  wchar_t name[MAX_PATH + 1] = {};
  if (!root || !path_calls::fileSystemName(*root, name, MAX_PATH + 1)) return false;
  // "FAT" (FAT12, FAT16) and "FAT32"; exFAT, which has no such limit, is "exFAT".
  return std::wcsncmp(name, L"FAT", 3) == 0;
}

std::optional<uint64_t> largestFileAllowed() { return std::nullopt; }

}  // namespace platform
