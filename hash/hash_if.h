#pragma once

#include <cstdint>

/// The steps of one digest: start, feed, finish, release, render as text.
/// An interface so it can be mocked out for tests.
class HASH_IF {
 public:
  /// Readies the digest. False when it is not available; then no other step
  /// but deletion may follow.
  virtual bool init() = 0;
  /// Feeds `length` bytes, in order after those fed before.
  virtual bool update(const unsigned char* data, uint32_t length) = 0;
  /// The step between the last update and close.
  virtual bool finalize() = 0;
  /// Writes the digest as lowercase hexadecimal digits and a NUL into
  /// `buffer`, which holds at least 33 bytes.
  virtual bool hexDigest(char* buffer, int size) = 0;
  /// Completes the digest and releases what init acquired.
  virtual bool close() = 0;
  virtual ~HASH_IF() = default;
};
