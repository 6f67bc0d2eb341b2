// Stand-ins, on UNIX systems, for the Windows interfaces the core is written
// against: the C runtime's low-level file calls, _itoa_s and sprintf_s, CNG's
// hashing calls and the code-page conversions. Each gives exactly what the
// core relies on, with the Windows names, types and constants.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- C runtime: low-level files -------------------------------------------
typedef int errno_t;

#define _O_RDONLY 0x0000
#define _O_WRONLY 0x0001
#define _O_RDWR 0x0002
#define _O_CREAT 0x0100
#define _O_TRUNC 0x0200
#define _O_EXCL 0x0400
#define _O_TEXT 0x4000
#define _O_BINARY 0x8000

// Not the runtime's: a piece is opened without following a link at its
// name (O_NOFOLLOW). platform::kOpenNoFollow names it for the core; Windows
// tells a link by its name first (platform::isLink).
#define FILESPLIT_O_NOFOLLOW 0x10000
namespace platform {
constexpr int kOpenNoFollow = FILESPLIT_O_NOFOLLOW;
}  // namespace platform

#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40

#define _S_IWRITE 0x0080
#define _S_IREAD 0x0100

/// Opens `filename` with the runtime's flags and stores the descriptor in
/// *pfh. Returns 0 or an errno value: ENOENT for a missing file or folder,
/// EACCES for refused access or a sharing conflict (the file is held open for
/// writing elsewhere while _SH_DENYWR or _SH_DENYRW is asked), EEXIST when
/// _O_CREAT|_O_EXCL meets an existing name, EINVAL for a name that cannot be
/// expressed in the system's encoding. *pfh is -1 after a failure.
errno_t _wsopen_s(int* pfh, const wchar_t* filename, int oflag, int shflag, int pmode);

/// Reads up to `count` bytes. Returns the count read, 0 at the end of the
/// file, -1 on an error (errno set). Interrupted calls are retried.
int _read(int fd, void* buffer, unsigned int count);

/// Writes `count` bytes, all of them unless an error stops it; in text mode
/// every LF is stored as CR LF. Returns `count` (the caller's bytes, added CRs
/// not counted) or -1 on an error (errno set).
int _write(int fd, const void* buffer, unsigned int count);

/// The file position, or -1 when it cannot be had (errno set).
int64_t _telli64(int fd);

/// The length of the file in bytes, or -1 when it cannot be had (errno set).
/// The position is unchanged.
int64_t _filelengthi64(int fd);

/// Closes the descriptor. 0 or -1.
int _close(int fd);

/// Writes `value` in `radix` (2 to 36) with a terminator into `buffer` of
/// `size` bytes. Returns 0, or EINVAL when the text does not fit.
errno_t _itoa_s(int value, char* buffer, size_t size, int radix);

/// snprintf that reports, like the runtime's, -1 when the text does not fit.
int sprintf_s(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// ---- CNG -------------------------------------------------------------------
typedef uint32_t ULONG;
typedef unsigned char UCHAR;
typedef UCHAR* PUCHAR;
typedef ULONG* PULONG;
typedef int32_t NTSTATUS;
typedef const wchar_t* LPCWSTR;
typedef void* BCRYPT_HANDLE;
typedef void* BCRYPT_ALG_HANDLE;
typedef void* BCRYPT_HASH_HANDLE;

#define BCRYPT_MD5_ALGORITHM L"MD5"
#define BCRYPT_OBJECT_LENGTH L"ObjectLength"
#define BCRYPT_HASH_LENGTH L"HashDigestLength"

#define STATUS_SUCCESS ((NTSTATUS)0)
#define STATUS_NOT_FOUND ((NTSTATUS)0xC0000225)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000D)
#define STATUS_BUFFER_TOO_SMALL ((NTSTATUS)0xC0000023)
#define STATUS_NO_MEMORY ((NTSTATUS)0xC0000017)

/// Opens the provider for `algId` ("MD5" is the one offered). 0 or a failure.
NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* phAlgorithm, LPCWSTR algId,
                                     LPCWSTR implementation, ULONG flags);
/// Reads "ObjectLength" or "HashDigestLength" as a 4-byte size.
NTSTATUS BCryptGetProperty(BCRYPT_HANDLE hObject, LPCWSTR property, PUCHAR output, ULONG outputSize,
                           ULONG* result, ULONG flags);
/// Creates a hash whose state lives in the caller's `hashObject` buffer of
/// `objectLength` bytes (at least "ObjectLength"). No secret is supported.
NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE hAlgorithm, BCRYPT_HASH_HANDLE* phHash,
                          PUCHAR hashObject, ULONG objectLength, PUCHAR secret, ULONG secretLength,
                          ULONG flags);
/// Feeds `length` bytes to the hash.
NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hHash, PUCHAR input, ULONG length, ULONG flags);
/// Writes the digest; `outputSize` must be the digest length.
NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hHash, PUCHAR output, ULONG outputSize, ULONG flags);
/// Releases the hash's state; the caller's buffer may be freed afterwards.
NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hHash);
/// Releases the provider.
NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE hAlgorithm, ULONG flags);

// ---- Code pages ------------------------------------------------------------
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef int BOOL;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWCH;
typedef const char* LPCCH;
typedef BOOL* LPBOOL;

#define CP_ACP 0
#define CP_UTF8 65001
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INVALID_FLAGS 1004

/// CP_ACP: the encoding of file names (platform/unix/native_text.h); a
/// byte that does not decode becomes U+DC00 + the byte, as in a file name,
/// and the console shows it as "?". A length of -1 takes the text up to and
/// including its NUL. Returns the count of wide characters (0 on a failure, with the
/// reason for GetLastError).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH text, int length, LPWSTR wide,
                        int wideLength);

/// The reason of the calling thread's last failed code-page call.
DWORD GetLastError();
