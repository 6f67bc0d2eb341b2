// Reads of a file past the system cache on Windows: a handle of their own
// opened with no buffering, and reads that keep the rules it imposes.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform.h"

namespace unbuffered_reads {

/// A reader of the file open as `handle`, past the cache, for reads into
/// buffers of `bufferSize` bytes: 0 with `reader` set; 0 with `reader` left
/// null where the volume's sector size cannot be told or does not divide
/// both platform::kMediumAlignment and `bufferSize`; else the errno value
/// for a handle that could not be opened.
int open(HANDLE handle, uint32_t bufferSize, std::unique_ptr<platform::MediumReader>& reader);

}  // namespace unbuffered_reads
