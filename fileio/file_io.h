#pragma once

#include <cerrno>
#include <cstdint>

#include "platform/output_file.h"

/// One open file, read and written by the caller's buffers. An interface so
/// it can be mocked out for tests. Deleting it closes the file.
class FileIO_IF {
 public:
  virtual ~FileIO_IF() = default;

  /// Reads up to `count` bytes into `buffer`. Returns the count read, 0 at
  /// the end of the file, -1 on an error (errno tells why).
  virtual int read(void* buffer, uint32_t count) = 0;

  /// Writes `count` bytes from `buffer`. Returns the count of the caller's
  /// bytes written, -1 on an error (errno tells why).
  virtual int write(const void* buffer, uint32_t count) = 0;

  /// True at the end of the file, and when the test itself fails. Leaves the
  /// position unchanged.
  virtual bool eof() = 0;

  /// Writes what the file holds through to the medium and waits for it:
  /// false (errno tells why) when that fails, as a late write may. A file
  /// that keeps nothing in a cache has nothing to do.
  virtual bool flush() { return true; }

  /// Starts writing the `count` bytes at `offset` to the medium, keeping the
  /// medium a few MiB behind at most: false (errno tells why) when writing
  /// what was written before fails, which no later flush may report again.
  virtual bool startWriteBack(uint64_t /*offset*/, uint64_t /*count*/) { return true; }

  /// Before the file is read: makes the reads that follow come from the
  /// medium, not from a cache. Those reads each ask at most `bufferSize`
  /// bytes into a buffer of that size aligned to platform::kMediumAlignment.
  /// False (errno tells why) when that fails.
  virtual bool readFromMedium(uint32_t /*bufferSize*/) { return true; }

  /// Before the file is read once, front to back: makes each read that
  /// follows come from the cache where it holds all of the read's bytes,
  /// else from the medium (where the system can tell and do that), so that
  /// reading a file the cache lacks fills none of it. The reads each ask at
  /// most `bufferSize` bytes into a buffer of that size aligned to
  /// platform::kMediumAlignment.
  virtual void readMediumWhereUncached(uint32_t /*bufferSize*/) {}

  /// Before the first write: makes writeSectors write past the cache,
  /// straight to the medium. False where the file or its file system cannot
  /// take such writes; write serves alone then.
  virtual bool writeToMedium() { return false; }

  /// After writeToMedium succeeded, before any write: writes `count` bytes of
  /// `buffer` past the cache after those it wrote before; `buffer` starts at
  /// a multiple of platform::kMediumAlignment and `count` is one. Returns
  /// `count`, -1 on an error (errno tells why).
  virtual int writeSectors(const void* /*buffer*/, uint32_t /*count*/) { return -1; }

  /// After writeSectors: writes the file's last `count` bytes, fewer than a
  /// sector, and ends the writes past the cache. `buffer` starts at a
  /// multiple of platform::kMediumAlignment and holds that many bytes, which
  /// may be changed past `count`. Returns `count`, -1 on an error (errno
  /// tells why).
  virtual int writeLast(unsigned char* /*buffer*/, uint32_t /*count*/) { return -1; }

  /// What the open file is now: 0 with `facts` set, or an errno value.
  virtual int describe(platform::OpenFileFacts& /*facts*/) const { return ENOTSUP; }

  /// Closes the file at once and tells whether the system took it whole:
  /// false (errno tells why) when the close reports an error, as a network
  /// file system may for data it could not store. Deleting the object
  /// afterwards closes nothing more.
  virtual bool close() = 0;
};
