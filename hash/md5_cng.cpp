#include "hash/md5_cng.h"

namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

bool MD5CNG::init() {
  if (BCryptOpenAlgorithmProvider(&algHandle, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0) return false;
  if (BCryptGetProperty(algHandle, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                        sizeof(ULONG), &propertySize, 0) != 0)
    return false;
  hashObject = new unsigned char[objectLength];
  if (BCryptGetProperty(algHandle, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&digestLength),
                        sizeof(ULONG), &propertySize, 0) != 0)
    return false;
  if (digestLength != expectedDigestLength) return false;
  return BCryptCreateHash(algHandle, &hashHandle, hashObject, objectLength, nullptr, 0, 0) == 0;
}

bool MD5CNG::update(const unsigned char* data, uint32_t length) {
  return BCryptHashData(hashHandle, const_cast<PUCHAR>(data), length, 0) == 0;
}

bool MD5CNG::finalize() { return true; }

bool MD5CNG::hexDigest(char* buffer, int) {
  for (size_t i = 0; i < 16; ++i)
    if (sprintf_s(buffer + 2 * i, 3, "%02hhx", digest[i]) != 2) return false;
  return true;
}

bool MD5CNG::close() {
  const NTSTATUS status = BCryptFinishHash(hashHandle, digest, digestLength, 0);
  releaseHandles();
  return succeeded(status);
}

void MD5CNG::releaseHandles() {
  if (hashHandle != nullptr) BCryptDestroyHash(hashHandle);
  hashHandle = nullptr;
  if (algHandle != nullptr) BCryptCloseAlgorithmProvider(algHandle, 0);
  algHandle = nullptr;
}

MD5CNG::~MD5CNG() {
  releaseHandles();
  delete[] hashObject;
}
