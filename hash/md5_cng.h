#pragma once

#include <string>

#include "hash/hash_if.h"
#include "platform/platform.h"

/// MD5 through the platform's cryptography provider (CNG's calls).
class MD5CNG : public HASH_IF {
 public:
  MD5CNG() = default;
  MD5CNG(const MD5CNG&) = delete;
  MD5CNG& operator=(const MD5CNG&) = delete;

  /// Opens the provider, sizes and allocates the hash object, checks that
  /// the digest is 16 bytes and creates the hash. False at the first step
  /// that fails. Throws std::bad_alloc when the hash object cannot be had.
  bool init() override;
  /// One hashing call on the caller's bytes. True when it succeeded.
  bool update(const unsigned char* data, uint32_t length) override;
  /// Nothing to do; true.
  bool finalize() override;
  /// 32 lowercase hex digits of the digest and a NUL; before close, zeros.
  /// False, writing nothing, when `size` is below 33.
  bool hexDigest(char* buffer, int size) override;
  /// Finishes the hash into the digest and releases the handles. True when
  /// finishing and both releases succeeded.
  bool close() override;
  /// Releases what close did not (after a failed init, or when the job was
  /// left early): the hash before its storage, then the provider.
  ~MD5CNG() override;

  /// Which provider call failed first and its status, as the end of a
  /// failure line ("the MD5 provider is not available (status
  /// 0xC0000225)"); empty while nothing failed.
  std::wstring failureReason() const;

 private:
  /// The steps that can fail, for failureReason.
  enum class Step {
    none,
    open,
    objectLength,
    digestLength,
    otherDigestLength,
    creation,
    hashing,
    finishing,
    hashRelease,
    providerRelease
  };
  /// Remembers the first failure; false, for `return failed(...)`.
  bool failed(Step step, NTSTATUS status);
  bool releaseHandles();

  BCRYPT_ALG_HANDLE algHandle = nullptr;
  BCRYPT_HASH_HANDLE hashHandle = nullptr;
  ULONG propertySize = 0;
  ULONG digestLength = 0;
  ULONG objectLength = 0;
  unsigned char digest[16] = {};
  unsigned char* hashObject = nullptr;
  ULONG expectedDigestLength = 16;
  Step failedStep = Step::none;
  NTSTATUS failedStatus = 0;
};
