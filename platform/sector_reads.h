// Reads of a file past the system cache, as every platform's unbuffered
// reads must be made: whole sectors at whole-sector offsets into aligned
// buffers. Each platform supplies the raw read at an offset and the size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#if FILESPLIT_FAULT_INJECTION
#include "platform/test_hooks.h"
#endif

namespace sector_reads {

/// A MediumReader over a handle opened for reads past the cache, in units
/// of `sector` bytes (a power of two dividing platform::kMediumAlignment and
/// the readers' buffer size).
class SectorReader : public platform::MediumReader {
 public:
  explicit SectorReader(uint32_t sector) : sector_(sector) {}

  /// A read asks whole sectors (the count rounded up, the buffer holding
  /// them), and returns only the bytes asked for.
  int read(void* buffer, uint32_t count) final;
  bool eof() final;

 protected:
  /// Reads `size` bytes at `offset` into `buffer`: the count read, 0 at or
  /// past the end, or -1 with errno set.
  virtual long long readAt(void* buffer, size_t size, uint64_t offset) = 0;
  /// The file's size; false when it cannot be told.
  virtual bool size(uint64_t& bytes) = 0;

 private:
  uint32_t sector_;
  uint64_t offset_ = 0;  // read at explicit offsets: the handle's own position is not used
};

/// Whether reads in units of `sector` can go into buffers of `bufferSize`
/// bytes aligned to platform::kMediumAlignment.
bool fits(uint32_t sector, uint32_t bufferSize);

/// For a test's record (platform_test_hooks::recordMediumReads): a reader
/// was opened, with or without the cache bypassed, in units of `sector`.
void recordOpen(bool bypassesCache, uint32_t sector);

#if FILESPLIT_FAULT_INJECTION
/// Where a test has the opens and reads recorded; null: nowhere.
extern platform_test_hooks::MediumCalls* recording;
#endif

}  // namespace sector_reads
