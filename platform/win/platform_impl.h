// On Windows the core's calls are the real ones: the C runtime's low-level
// file calls, _itoa_s and sprintf_s, CNG and the code-page conversions.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// clang-format off
#include <windows.h>  // before every other Windows header
// clang-format on

#include <bcrypt.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace platform {
/// The runtime has no flag that keeps an open from following a link: a link
/// at a piece's name is told by platform::isLink before it is opened.
constexpr int kOpenNoFollow = 0;
}  // namespace platform

#if FILESPLIT_FAULT_INJECTION
// Test builds only: the core's file calls, its narrow-to-wide conversion,
// its CNG calls and the volume queries ask the fault seam first
// (platform/win/fault_seam.cpp).
namespace win_seam {
errno_t wsopen_s(int* pfh, const wchar_t* filename, int oflag, int shflag, int pmode);
int read(int fd, void* buffer, unsigned int count);
int write(int fd, const void* buffer, unsigned int count);
int close(int fd);
int multiByteToWideChar(UINT codePage, DWORD flags, LPCCH text, int length, LPWSTR wide,
                        int wideLength);
NTSTATUS openAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR implementation,
                               ULONG flags);
NTSTATUS getProperty(BCRYPT_HANDLE object, LPCWSTR property, PUCHAR output, ULONG outputSize,
                     ULONG* result, ULONG flags);
NTSTATUS createHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR object,
                    ULONG objectLength, PUCHAR secret, ULONG secretLength, ULONG flags);
NTSTATUS hashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG length, ULONG flags);
NTSTATUS finishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG outputSize, ULONG flags);
/// Destroys the hash even when a failure is planned, then returns that failure.
NTSTATUS destroyHash(BCRYPT_HASH_HANDLE hash);
/// Closes the provider even when a failure is planned, then returns that failure.
NTSTATUS closeAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags);
/// Makes the provider report `length` as its digest length (0: its own).
void fakeDigestLength(ULONG length);
WINBOOL getDiskFreeSpaceEx(LPCWSTR directory, PULARGE_INTEGER availableToCaller,
                           PULARGE_INTEGER total, PULARGE_INTEGER totalFree);
WINBOOL getVolumeInformation(LPCWSTR root, LPWSTR volumeName, DWORD volumeNameSize,
                             LPDWORD serialNumber, LPDWORD componentLength, LPDWORD flags,
                             LPWSTR fileSystemName, DWORD fileSystemNameSize);
/// Makes the free-space query answer `available` of `total` bytes (`faked`
/// false: the system's own answer).
void fakeFreeSpace(bool faked, ULONGLONG available, ULONGLONG total);
/// Makes the volume query name its file system `name` (null: the system's
/// own answer).
void fakeFileSystemName(const wchar_t* name);
}  // namespace win_seam
#define MultiByteToWideChar win_seam::multiByteToWideChar
#define BCryptOpenAlgorithmProvider win_seam::openAlgorithmProvider
#define BCryptGetProperty win_seam::getProperty
#define BCryptCreateHash win_seam::createHash
#define BCryptHashData win_seam::hashData
#define BCryptFinishHash win_seam::finishHash
#define BCryptDestroyHash win_seam::destroyHash
#define BCryptCloseAlgorithmProvider win_seam::closeAlgorithmProvider
#define GetDiskFreeSpaceExW win_seam::getDiskFreeSpaceEx
#define GetVolumeInformationW win_seam::getVolumeInformation
#endif

// The core's opens and transfers through the runtime (platform/win/crt_calls.cpp):
// an open's path in the "\\?\" form where it is long, and what refused it
// kept for platform::lastOpenRefusal; a transfer's failure told through the
// one map from Win32 errors: the runtime itself tells a failing device as
// EACCES.
namespace win_crt {
errno_t wsopen_s(int* pfh, const wchar_t* filename, int oflag, int shflag, int pmode);
int read(int fd, void* buffer, unsigned int count);
int write(int fd, const void* buffer, unsigned int count);
int close(int fd);
}  // namespace win_crt
#define _wsopen_s win_crt::wsopen_s
#define _read win_crt::read
#define _write win_crt::write
#define _close win_crt::close
