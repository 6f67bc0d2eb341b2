#include "hash/checked_digest.h"

#include <cstring>

#include "common/job_failure.h"
#include "hash/md5_cng.h"
#include "texts/shared_texts.h"

namespace {

bool isDigestText(const char* text) {
  for (int i = 0; i < 32; ++i)
    if (std::strchr("0123456789abcdef", text[i]) == nullptr || text[i] == '\0') return false;
  return text[32] == '\0';
}

}  // namespace

CheckedDigest::CheckedDigest(std::wstring file)
    : CheckedDigest(std::move(file), std::make_unique<MD5CNG>()) {}

CheckedDigest::CheckedDigest(std::wstring file, std::unique_ptr<MD5CNG> md5)
    : file_(std::move(file)), md5_(md5.get()), hash_(std::move(md5)) {
  start();
}

CheckedDigest::CheckedDigest(std::wstring file, std::unique_ptr<HASH_IF> hash)
    : file_(std::move(file)), md5_(nullptr), hash_(std::move(hash)) {
  start();
}

void CheckedDigest::start() {
  if (!hash_->init()) fail(L"the MD5 provider is not available");
}

CheckedDigest::~CheckedDigest() = default;

void CheckedDigest::add(const unsigned char* data, uint32_t length) {
  if (finished_ || !hash_->update(data, length)) fail(L"a block could not be hashed");
}

std::string CheckedDigest::finish() {
  if (finished_) fail(L"the hash was finished already");
  finished_ = true;
  if (!hash_->finalize() || !hash_->close()) fail(L"the hash could not be finished");
  char text[33] = {};
  if (!hash_->hexDigest(text, sizeof text) || !isDigestText(text))
    fail(L"the digest could not be written as 32 hexadecimal digits");
  return std::string(text, 32);
}

void CheckedDigest::fail(const wchar_t* reason) const {
  const std::wstring told = md5_ != nullptr ? md5_->failureReason() : std::wstring();
  throw JobFailure(
      shared_texts::cannotComputeDigest(file_, told.empty() ? std::wstring(reason) : told));
}
