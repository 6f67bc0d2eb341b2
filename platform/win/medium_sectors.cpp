#include "medium_sectors.h"

#include <algorithm>
#include <optional>

#include "long_paths.h"
#include "path_calls.h"
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
  const std::optional<long_paths::SystemPath> path = long_paths::finalPath(handle);
  const std::optional<long_paths::SystemPath> root =
      path ? long_paths::volumeRoot(*path) : std::nullopt;
  DWORD bytes = 0;
  return root && path_calls::bytesPerSector(*root, bytes) ? bytes : 0;
}

}  // namespace

uint32_t sectorSize(HANDLE handle, uint32_t bufferSize) {
  if (!goAhead(FaultPoint::sectorSize)) return 0;
  const uint32_t size = storageSectorSize(handle, bufferSize);
  return size != 0 ? size : volumeSectorSize(handle);
}

}  // namespace medium_sectors
