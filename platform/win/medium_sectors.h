// The sector size of a file's volume on Windows, which every read or write
// past the cache keeps to (whether it fits the buffers: sector_reads::fits).
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace medium_sectors {

/// The sector size of the volume of the file open as `handle`, asked through
/// the seam (FaultPoint::sectorSize): the physical sector, which buffers are
/// best aligned to, where it fits `bufferSize` (sector_reads::fits); else the logical one, which
/// sizes and offsets must be multiples of. 0 where it cannot be told.
uint32_t sectorSize(HANDLE handle, uint32_t bufferSize);

}  // namespace medium_sectors
