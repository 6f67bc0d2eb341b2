// CNG's hashing calls over OpenSSL's MD5 functions. The hash state lives in
// the caller's hash-object buffer, as CNG's does.
//
// The low-level MD5 calls, not EVP: EVP would load OpenSSL's provider
// machinery, which costs about 2 MiB of resident memory for the same
// assembly code. OpenSSL 3 marks them deprecated; they are still built.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <cwchar>
#include <new>
#include <openssl/md5.h>

#include "platform_impl.h"
#include "faked_provider.h"

namespace {

// The algorithm handle; MD5 needs nothing opened, but CNG hands out a handle.
struct Provider {
  ULONG digestLength;
};

struct HashState {
  MD5_CTX context;
};

ULONG reportedDigestLength(const Provider& provider) {
  const ULONG faked = posix_test_hooks::fakedDigestLength();
  return faked != 0 ? faked : provider.digestLength;
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
  if (phAlgorithm == nullptr || algId == nullptr) return STATUS_INVALID_PARAMETER;
  if (std::wcscmp(algId, BCRYPT_MD5_ALGORITHM) != 0 || implementation != nullptr || flags != 0)
    return STATUS_NOT_FOUND;
  *phAlgorithm = new (std::nothrow) Provider{MD5_DIGEST_LENGTH};
  return *phAlgorithm == nullptr ? STATUS_NO_MEMORY : STATUS_SUCCESS;
}

NTSTATUS BCryptGetProperty(BCRYPT_HANDLE hObject, LPCWSTR property, PUCHAR output,
                           ULONG outputSize, ULONG* result, ULONG) {
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
  if (hAlgorithm == nullptr || phHash == nullptr || secretLength != 0)
    return STATUS_INVALID_PARAMETER;
  if (hashObject == nullptr || objectLength < sizeof(HashState)) return STATUS_BUFFER_TOO_SMALL;
  auto* state = new (hashObject) HashState;
  if (MD5_Init(&state->context) != 1) {
    state->~HashState();
    return STATUS_INVALID_PARAMETER;
  }
  *phHash = state;
  return STATUS_SUCCESS;
}

NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hHash, PUCHAR input, ULONG length, ULONG) {
  if (hHash == nullptr || (input == nullptr && length != 0)) return STATUS_INVALID_PARAMETER;
  auto* state = static_cast<HashState*>(hHash);
  return MD5_Update(&state->context, input, length) == 1 ? STATUS_SUCCESS
                                                         : STATUS_INVALID_PARAMETER;
}

NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hHash, PUCHAR output, ULONG outputSize, ULONG) {
  if (hHash == nullptr || output == nullptr) return STATUS_INVALID_PARAMETER;
  auto* state = static_cast<HashState*>(hHash);
  if (outputSize != MD5_DIGEST_LENGTH) return STATUS_INVALID_PARAMETER;
  return MD5_Final(output, &state->context) == 1 ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hHash) {
  if (hHash == nullptr) return STATUS_INVALID_PARAMETER;
  auto* state = static_cast<HashState*>(hHash);
  state->~HashState();
  return STATUS_SUCCESS;
}

NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE hAlgorithm, ULONG) {
  if (hAlgorithm == nullptr) return STATUS_INVALID_PARAMETER;
  delete static_cast<Provider*>(hAlgorithm);
  return STATUS_SUCCESS;
}
