#include "medium_sectors.h"

#include <algorithm>
#include <string>

#include "platform/sector_reads.h"

using platform::FaultPoint;
using platform::goAhead;

namespace medium_sectors {
using sector_reads::fits;

namespace {

// From the file's storage facts (Windows 8 and later): the physical sector,
// which buffers are best aligned to, where it fits; else the logical one,
// which sizes and offsets must be multiples of. 0 where not told.
uint32_t storageSectorSize(HANDLE handle, uint32_t bufferSize) {
  FILE_STORAGE_INFO info{};
  if (!GetFileInformationByHandleEx(handle, FileStorageInfo, &info, sizeof info)) return 0;
  const uint32_t larger =
      std::max<uint32_t>(info.LogicalBytesPerSector, info.PhysicalBytesPerSectorForPerformance);
  return fits(larger, bufferSize) ? larger : info.LogicalBytesPerSector;
}

// The logical sector size of the volume the file's path is on, for systems
// without the storage facts. 0 where not told.
uint32_t volumeSectorSize(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= path.size()) {  // too small: `length` counts the terminator too
    path.resize(length);
    length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (length == 0 || length >= path.size()) return 0;
  path.resize(length);
  std::wstring root(path.size() + 2, L'\0');
  if (!GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) return 0;
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD clusters = 0;
  if (!GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &clusters))
    return 0;
  return bytesPerSector;
}

}  // namespace

uint32_t sectorSize(HANDLE handle, uint32_t bufferSize) {
  if (!goAhead(FaultPoint::sectorSize)) return 0;
  const uint32_t size = storageSectorSize(handle, bufferSize);
  return size != 0 ? size : volumeSectorSize(handle);
}

}  // namespace medium_sectors
