#include "hash/md5_cng.h"

namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

// A status as Windows shows it: "0x" and eight upper-case hex digits.
std::wstring statusText(NTSTATUS status) {
  const auto bits = static_cast<uint32_t>(status);
  std::wstring text = L"0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += L"0123456789ABCDEF"[(bits >> shift) & 0xF];
  return text;
}

}  // namespace

bool MD5CNG::init() {
  NTSTATUS status = BCryptOpenAlgorithmProvider(&algHandle, BCRYPT_MD5_ALGORITHM, nullptr, 0);
  if (status != 0) return failed(Step::open, status);
  status =
      BCryptGetProperty(algHandle, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                        sizeof(ULONG), &propertySize, 0);
  if (status != 0) return failed(Step::objectLength, status);
  hashObject = new unsigned char[objectLength];
  status = BCryptGetProperty(algHandle, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&digestLength),
                             sizeof(ULONG), &propertySize, 0);
  if (status != 0) return failed(Step::digestLength, status);
  if (digestLength != expectedDigestLength) return failed(Step::otherDigestLength, 0);
  status = BCryptCreateHash(algHandle, &hashHandle, hashObject, objectLength, nullptr, 0, 0);
  if (status != 0) return failed(Step::creation, status);
  return true;
}

bool MD5CNG::update(const unsigned char* data, uint32_t length) {
  const NTSTATUS status = BCryptHashData(hashHandle, const_cast<PUCHAR>(data), length, 0);
  return status == 0 || failed(Step::hashing, status);
}

bool MD5CNG::finalize() { return true; }

bool MD5CNG::hexDigest(char* buffer, int size) {
  if (buffer == nullptr || size < 33) return false;
  // The byte widened to unsigned int: "%02x" is read alike by every C
  // runtime, where the "hh" modifier is unknown to some.
  for (int i = 0; i < 16; ++i)
    if (sprintf_s(buffer + 2 * i, 3, "%02x", static_cast<unsigned int>(digest[i])) != 2)
      return false;
  return true;
}

bool MD5CNG::close() {
  const NTSTATUS status = BCryptFinishHash(hashHandle, digest, digestLength, 0);
  const bool finished = succeeded(status) || failed(Step::finishing, status);
  const bool released = releaseHandles();
  return finished && released;
}

bool MD5CNG::releaseHandles() {
  bool released = true;
  if (hashHandle != nullptr) {
    const NTSTATUS status = BCryptDestroyHash(hashHandle);
    if (status != 0) released = failed(Step::hashRelease, status);
  }
  hashHandle = nullptr;
  if (algHandle != nullptr) {
    const NTSTATUS status = BCryptCloseAlgorithmProvider(algHandle, 0);
    if (status != 0) released = failed(Step::providerRelease, status);
  }
  algHandle = nullptr;
  return released;
}

MD5CNG::~MD5CNG() {
  releaseHandles();
  delete[] hashObject;
}

bool MD5CNG::failed(Step step, NTSTATUS status) {
  if (failedStep == Step::none) {
    failedStep = step;
    failedStatus = status;
  }
  return false;
}

std::wstring MD5CNG::failureReason() const {
  const std::wstring status = L" (status " + statusText(failedStatus) + L")";
  switch (failedStep) {
    case Step::none:
      return L"";
    case Step::open:
      return L"the MD5 provider is not available" + status;
    case Step::objectLength:
      return L"the MD5 provider did not tell the size of its hash object" + status;
    case Step::digestLength:
      return L"the MD5 provider did not tell its digest length" + status;
    case Step::otherDigestLength:
      return L"the MD5 provider reports a digest of " + std::to_wstring(digestLength) +
             L" bytes, not 16";
    case Step::creation:
      return L"the hash could not be created" + status;
    case Step::hashing:
      return L"a block could not be hashed" + status;
    case Step::finishing:
      return L"the hash could not be finished" + status;
    case Step::hashRelease:
      return L"the hash could not be released" + status;
    case Step::providerRelease:
      return L"the MD5 provider could not be released" + status;
  }
  return L"";
}
