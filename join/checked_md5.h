#pragma once

#include <memory>
#include <string>

#include "hash/hash_if.h"

/// The MD5 of a join: the provider's every step checked, a failure ending
/// the job with one line (JobFailure) that names `subject`, the file whose
/// digest it is. It is the HASH_IF the block loop feeds.
class CheckedMd5 : public HASH_IF {
 public:
  /// Readies the provider; throws JobFailure when it cannot.
  explicit CheckedMd5(std::wstring subject);
  ~CheckedMd5() override;
  CheckedMd5(const CheckedMd5&) = delete;
  CheckedMd5& operator=(const CheckedMd5&) = delete;

  /// The digest of every byte fed, as 32 lowercase hex digits. Call once.
  std::string finish();

  /// Always true: ready since construction.
  bool init() override { return true; }
  /// Feeds the bytes; throws JobFailure when the provider fails.
  bool update(const unsigned char* data, uint32_t length) override;
  bool finalize() override;
  bool hexDigest(char* buffer, int size) override;
  bool close() override;

 private:
  [[noreturn]] void fail() const;

  std::wstring subject_;
  std::unique_ptr<HASH_IF> md5_;
};
