#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hash/hash_if.h"

class MD5CNG;

/// The MD5 of one file's bytes with every step of the hash checked, for a
/// job that writes or compares a digest: the text it returns comes only from
/// a hash that was started, fed every block and finished without a failure.
/// Any failure throws JobFailure (common/job_failure.h) with the line
/// `Cannot compute the digest of "FILE": REASON`.
class CheckedDigest {
 public:
  /// Starts an MD5 through the platform's provider for `file` (named in a
  /// failure line as the user gave it). Throws JobFailure when the provider
  /// cannot be had, std::bad_alloc when memory cannot.
  explicit CheckedDigest(std::wstring file);
  /// The same over `hash` (a test's stand-in); a failure's reason then names
  /// the operation that failed.
  CheckedDigest(std::wstring file, std::unique_ptr<HASH_IF> hash);
  ~CheckedDigest();
  CheckedDigest(const CheckedDigest&) = delete;
  CheckedDigest& operator=(const CheckedDigest&) = delete;

  /// Feeds `length` bytes after those fed before. Throws JobFailure when the
  /// hash fails.
  void add(const unsigned char* data, uint32_t length);

  /// Finishes the hash and returns its 32 lowercase hexadecimal digits.
  /// Call once, after the last add. Throws JobFailure when finishing fails or
  /// the text is not 32 such digits.
  std::string finish();

 private:
  CheckedDigest(std::wstring file, std::unique_ptr<MD5CNG> md5);
  void start();
  [[noreturn]] void fail(const wchar_t* reason) const;

  std::wstring file_;
  // hash_ itself when it is our MD5CNG, which can tell which call failed.
  const MD5CNG* md5_;
  std::unique_ptr<HASH_IF> hash_;
  bool finished_ = false;
};
