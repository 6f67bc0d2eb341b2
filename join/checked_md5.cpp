#include "join/checked_md5.h"

#include "common/job_failure.h"
#include "hash/md5_cng.h"

CheckedMd5::CheckedMd5(std::wstring subject) : subject_(std::move(subject)), md5_(new MD5CNG) {
  if (!md5_->init()) fail();
}

CheckedMd5::~CheckedMd5() = default;

void CheckedMd5::fail() const {
  throw JobFailure(L"Cannot compute the MD5 of \"" + subject_ +
                   L"\": the system's MD5 provider failed.");
}

bool CheckedMd5::update(const unsigned char* data, uint32_t length) {
  if (!md5_->update(data, length)) fail();
  return true;
}

bool CheckedMd5::finalize() {
  if (!md5_->finalize()) fail();
  return true;
}

bool CheckedMd5::close() {
  if (!md5_->close()) fail();
  return true;
}

bool CheckedMd5::hexDigest(char* buffer, int size) {
  if (!md5_->hexDigest(buffer, size)) fail();
  return true;
}

std::string CheckedMd5::finish() {
  finalize();
  close();
  char text[33] = {};
  hexDigest(text, sizeof text);
  return std::string(text, 32);
}
