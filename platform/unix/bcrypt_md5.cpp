// CNG's hashing calls over OpenSSL's EVP interface. The hash state (one
// EVP_MD_CTX pointer) lives in the caller's hash-object buffer, as CNG's does.
// Each call asks the fault seam first, as CNG's own do on Windows.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cerrno>
#include <cwchar>
#include <new>

#include "faked_provider.h"
#include "platform/seam_calls.h"
#include "platform_impl.h"

using platform::FaultPoint;

namespace {

struct Provider {
  EVP_MD* md;
};

struct HashState {
  EVP_MD_CTX* context;
  ULONG digestLength;
};

ULONG reportedDigestLength(const Provider& provider) {
  const ULONG faked = posix_test_hooks::fakedDigestLength();
  return faked != 0 ? faked : static_cast<ULONG>(EVP_MD_get_size(provider.md));
}

NTSTATUS putSize(ULONG value, PUCHAR output, ULONG outputSize, ULONG* result) {
  if (result != nullptr) *result = sizeof(ULONG);
  if (output == nullptr || outputSize < sizeof(ULONG)) return STATUS_BUFFER_TOO_SMALL;
  *reinterpret_cast<ULONG*>(output) = value;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* phAlgorithm, LPCWSTR algId,
                                     LPCWSTR implementation, ULONG flags) {
  if (!platform::goAhead(FaultPoint::providerOpen)) return seam_calls::statusOf(errno);
  if (phAlgorithm == nullptr || algId == nullptr) return STATUS_INVALID_PARAMETER;
  if (std::wcscmp(algId, BCRYPT_MD5_ALGORITHM) != 0 || implementation != nullptr || flags != 0)
    return STATUS_NOT_FOUND;
  // A digest of file contents needs no system-wide OpenSSL configuration;
  // loading it would only cost memory.
  OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
  EVP_MD* md = EVP_MD_fetch(nullptr, "MD5", nullptr);
  if (md == nullptr) return STATUS_NOT_FOUND;
  *phAlgorithm = new (std::nothrow) Provider{md};
  if (*phAlgorithm == nullptr) {
    EVP_MD_free(md);
    return STATUS_NO_MEMORY;
  }
  return STATUS_SUCCESS;
}

NTSTATUS BCryptGetProperty(BCRYPT_HANDLE hObject, LPCWSTR property, PUCHAR output, ULONG outputSize,
                           ULONG* result, ULONG) {
  if (!platform::goAhead(FaultPoint::providerProperty)) return seam_calls::statusOf(errno);
  if (hObject == nullptr || property == nullptr) return STATUS_INVALID_PARAMETER;
  const auto& provider = *static_cast<Provider*>(hObject);
  if (std::wcscmp(property, BCRYPT_OBJECT_LENGTH) == 0)
    return putSize(sizeof(HashState), output, outputSize, result);
  if (std::wcscmp(property, BCRYPT_HASH_LENGTH) == 0)
    return putSize(reportedDigestLength(provider), output, outputSize, result);
  return STATUS_NOT_FOUND;
}

NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE hAlgorithm, BCRYPT_HASH_HANDLE* phHash,
                          PUCHAR hashObject, ULONG objectLength, PUCHAR, ULONG secretLength,
                          ULONG) {
  if (!platform::goAhead(FaultPoint::hashCreation)) return seam_calls::statusOf(errno);
  if (hAlgorithm == nullptr || phHash == nullptr || secretLength != 0)
    return STATUS_INVALID_PARAMETER;
  if (hashObject == nullptr || objectLength < sizeof(HashState)) return STATUS_BUFFER_TOO_SMALL;
  const auto& provider = *static_cast<Provider*>(hAlgorithm);
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr) return STATUS_NO_MEMORY;
  if (EVP_DigestInit_ex2(context, provider.md, nullptr) != 1) {
    EVP_MD_CTX_free(context);
    return STATUS_INVALID_PARAMETER;
  }
  *phHash = new (hashObject) HashState{context, static_cast<ULONG>(EVP_MD_get_size(provider.md))};
  return STATUS_SUCCESS;
}

NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hHash, PUCHAR input, ULONG length, ULONG) {
  if (!platform::goAhead(FaultPoint::hashData)) return seam_calls::statusOf(errno);
  if (hHash == nullptr || (input == nullptr && length != 0)) return STATUS_INVALID_PARAMETER;
  auto* state = static_cast<HashState*>(hHash);
  return EVP_DigestUpdate(state->context, input, length) == 1 ? STATUS_SUCCESS
                                                              : STATUS_INVALID_PARAMETER;
}

NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hHash, PUCHAR output, ULONG outputSize, ULONG) {
  if (!platform::goAhead(FaultPoint::hashFinish)) return seam_calls::statusOf(errno);
  if (hHash == nullptr || output == nullptr) return STATUS_INVALID_PARAMETER;
  auto* state = static_cast<HashState*>(hHash);
  if (outputSize != state->digestLength) return STATUS_INVALID_PARAMETER;
  unsigned int written = 0;
  return EVP_DigestFinal_ex(state->context, output, &written) == 1 ? STATUS_SUCCESS
                                                                   : STATUS_INVALID_PARAMETER;
}

NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hHash) {
  return seam_calls::release(FaultPoint::hashDestruction, [hHash] {
    if (hHash == nullptr) return STATUS_INVALID_PARAMETER;
    auto* state = static_cast<HashState*>(hHash);
    EVP_MD_CTX_free(state->context);
    state->~HashState();
    return STATUS_SUCCESS;
  });
}

NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE hAlgorithm, ULONG) {
  return seam_calls::release(FaultPoint::providerClose, [hAlgorithm] {
    if (hAlgorithm == nullptr) return STATUS_INVALID_PARAMETER;
    auto* provider = static_cast<Provider*>(hAlgorithm);
    EVP_MD_free(provider->md);
    delete provider;
    return STATUS_SUCCESS;
  });
}
