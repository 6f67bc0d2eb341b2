// The fault seam of Windows test builds: each call asks the seam what a test
// planned for it, then goes to the runtime, retried and completed the way
// the POSIX layer's calls are, so that both builds meet a plan alike.
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "call_journal.h"
#include "platform/seam_calls.h"

#undef _wsopen_s
#undef _read
#undef _write
#undef _close
#undef MultiByteToWideChar
#undef BCryptOpenAlgorithmProvider
#undef BCryptGetProperty
#undef BCryptCreateHash
#undef BCryptHashData
#undef BCryptFinishHash
#undef BCryptDestroyHash
#undef BCryptCloseAlgorithmProvider
#undef GetDiskFreeSpaceExW
#undef GetVolumeInformationW

using platform::FaultPoint;

namespace {

ULONG fakedDigestLength = 0;

bool spaceFaked = false;
ULONGLONG fakedAvailable = 0;
ULONGLONG fakedTotal = 0;

bool nameFaked = false;
std::wstring fakedName;

// The calls a test records (call_journal); its lock, since the calls come
// from the block loop's threads and the control routine's.
std::mutex journalMutex;
std::vector<std::wstring>* journal = nullptr;  // guarded by journalMutex

// A volume query's answer to a planned failure, with the platform's reason
// for GetLastError.
WINBOOL queryFailed() {
  SetLastError(ERROR_NOT_READY);
  return FALSE;
}

}  // namespace

namespace win_seam {

errno_t wsopen_s(int* pfh, const wchar_t* filename, int oflag, int shflag, int pmode) {
  for (;;) {
    if (platform::goAhead(FaultPoint::open))
      return ::_wsopen_s(pfh, filename, oflag, shflag, pmode);
    if (errno == EINTR) continue;
    if (pfh != nullptr) *pfh = -1;
    return errno;
  }
}

int read(int fd, void* buffer, unsigned int count) {
  for (;;) {
    size_t asked = count;
    if (platform::goAhead(FaultPoint::read, asked))
      return ::_read(fd, buffer, static_cast<unsigned int>(asked));
    if (errno != EINTR) return -1;
  }
}

int write(int fd, const void* buffer, unsigned int count) {
  return static_cast<int>(seam_calls::writeAll(buffer, count, [fd](const char* bytes, size_t n) {
    return ::_write(fd, bytes, static_cast<unsigned int>(n));
  }));
}

int close(int fd) {
  return seam_calls::close([fd] { return ::_close(fd); });
}

int multiByteToWideChar(UINT codePage, DWORD flags, LPCCH text, int length, LPWSTR wide,
                        int wideLength) {
  if (!platform::goAhead(FaultPoint::textConversion)) {
    SetLastError(static_cast<DWORD>(errno));
    return 0;
  }
  return ::MultiByteToWideChar(codePage, flags, text, length, wide, wideLength);
}

NTSTATUS openAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR implementation,
                               ULONG flags) {
  if (!platform::goAhead(FaultPoint::providerOpen)) return seam_calls::statusOf(errno);
  return ::BCryptOpenAlgorithmProvider(algorithm, id, implementation, flags);
}

NTSTATUS getProperty(BCRYPT_HANDLE object, LPCWSTR property, PUCHAR output, ULONG outputSize,
                     ULONG* result, ULONG flags) {
  if (!platform::goAhead(FaultPoint::providerProperty)) return seam_calls::statusOf(errno);
  const NTSTATUS status = ::BCryptGetProperty(object, property, output, outputSize, result, flags);
  const bool digestLength = std::wcscmp(property, BCRYPT_HASH_LENGTH) == 0;
  if (status == 0 && digestLength && fakedDigestLength != 0 && outputSize >= sizeof(ULONG))
    *reinterpret_cast<ULONG*>(output) = fakedDigestLength;
  return status;
}

NTSTATUS createHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR object,
                    ULONG objectLength, PUCHAR secret, ULONG secretLength, ULONG flags) {
  if (!platform::goAhead(FaultPoint::hashCreation)) return seam_calls::statusOf(errno);
  return ::BCryptCreateHash(algorithm, hash, object, objectLength, secret, secretLength, flags);
}

NTSTATUS hashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG length, ULONG flags) {
  if (!platform::goAhead(FaultPoint::hashData)) return seam_calls::statusOf(errno);
  return ::BCryptHashData(hash, input, length, flags);
}

NTSTATUS finishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG outputSize, ULONG flags) {
  if (!platform::goAhead(FaultPoint::hashFinish)) return seam_calls::statusOf(errno);
  return ::BCryptFinishHash(hash, output, outputSize, flags);
}

NTSTATUS destroyHash(BCRYPT_HASH_HANDLE hash) {
  return seam_calls::release(FaultPoint::hashDestruction,
                             [hash] { return ::BCryptDestroyHash(hash); });
}

NTSTATUS closeAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags) {
  return seam_calls::release(FaultPoint::providerClose, [algorithm, flags] {
    return ::BCryptCloseAlgorithmProvider(algorithm, flags);
  });
}

void fakeDigestLength(ULONG length) { fakedDigestLength = length; }

WINBOOL getDiskFreeSpaceEx(LPCWSTR directory, PULARGE_INTEGER availableToCaller,
                           PULARGE_INTEGER total, PULARGE_INTEGER totalFree) {
  if (!platform::goAhead(FaultPoint::freeSpace)) return queryFailed();
  // The faked numbers stand for a folder the system finds, as the real ones do.
  const WINBOOL found = ::GetDiskFreeSpaceExW(directory, availableToCaller, total, totalFree);
  if (!found || !spaceFaked) return found;
  if (availableToCaller != nullptr) availableToCaller->QuadPart = fakedAvailable;
  if (total != nullptr) total->QuadPart = fakedTotal;
  if (totalFree != nullptr) totalFree->QuadPart = fakedAvailable;
  return TRUE;
}

WINBOOL getVolumeInformation(LPCWSTR root, LPWSTR volumeName, DWORD volumeNameSize,
                             LPDWORD serialNumber, LPDWORD componentLength, LPDWORD flags,
                             LPWSTR fileSystemName, DWORD fileSystemNameSize) {
  if (!platform::goAhead(FaultPoint::fileSystemType)) return queryFailed();
  const WINBOOL found =
      ::GetVolumeInformationW(root, volumeName, volumeNameSize, serialNumber, componentLength,
                              flags, fileSystemName, fileSystemNameSize);
  if (!found || !nameFaked) return found;
  if (fileSystemName == nullptr || fakedName.size() >= fileSystemNameSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::wmemcpy(fileSystemName, fakedName.c_str(), fakedName.size() + 1);
  return TRUE;
}

void fakeFreeSpace(bool faked, ULONGLONG available, ULONGLONG total) {
  spaceFaked = faked;
  fakedAvailable = available;
  fakedTotal = total;
}

void fakeFileSystemName(const wchar_t* name) {
  nameFaked = name != nullptr;
  fakedName = name != nullptr ? name : L"";
}

}  // namespace win_seam

namespace call_journal {

void note(const std::wstring& entry) {
  const std::lock_guard<std::mutex> lock(journalMutex);
  if (journal != nullptr) journal->push_back(entry);
}

bool recording() {
  const std::lock_guard<std::mutex> lock(journalMutex);
  return journal != nullptr;
}

void recordInto(std::vector<std::wstring>* record) {
  const std::lock_guard<std::mutex> lock(journalMutex);
  journal = record;
}

}  // namespace call_journal
