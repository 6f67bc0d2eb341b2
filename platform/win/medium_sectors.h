// The sector rules every read or write past the cache keeps on Windows: the
// volume's sector size, and whether the tool's buffers fit it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace medium_sectors {

/// Whether calls in units of `sector` bytes can go into or out of buffers
/// of `bufferSize` bytes aligned to platform::kMediumAlignment: a power of
/// two dividing both.
bool fits(uint32_t sector, uint32_t bufferSize);

/// The sector size of the volume of the file open as `handle`, asked through
/// the seam (FaultPoint::sectorSize): the physical sector, which buffers are
/// best aligned to, where it fits `bufferSize`; else the logical one, which
/// sizes and offsets must be multiples of. 0 where it cannot be told.
uint32_t sectorSize(HANDLE handle, uint32_t bufferSize);

}  // namespace medium_sectors
