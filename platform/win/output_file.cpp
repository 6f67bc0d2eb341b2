// The rebuilt file's way to its final name on Windows: created new under a
// short temporary name, then the open handle that wrote it renamed
// (FileRenameInfo, nothing replaced), so that the final name goes to the
// file that was verified and never to what took the temporary name since.
#include "platform/output_file.h"

#include <cerrno>

#include "call_journal.h"
#include "long_paths.h"
#include "medium_sectors.h"
#include "os_handle.h"
#include "path_calls.h"
#include "platform/platform.h"
#include "platform/sector_reads.h"
#include "unbuffered_writes.h"
#include "win32_errno.h"

namespace {

// The Win32 error `code` as an errno value, for the rebuilt file's own
// calls: filejoin tells a path too long as such, where the runtime's map
// (and so filesplit) says the file is not found.
int errnoOfJoinCall(DWORD code, int unknown) {
  return code == ERROR_FILENAME_EXCED_RANGE ? ENAMETOOLONG : win32_errno::errnoOf(code, unknown);
}

}  // namespace

namespace platform {

int describeOpenFile(int fd, OpenFileFacts& facts) {
  if (!goAhead(FaultPoint::openFileFacts)) return errno;
  const HANDLE handle = os_handle::of(fd);
  if (handle == INVALID_HANDLE_VALUE) return EBADF;
  facts = OpenFileFacts{};
  // Pipes, consoles and other devices are no disk files.
  if (GetFileType(handle) != FILE_TYPE_DISK) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info))
    return win32_errno::errnoOf(GetLastError(), EINVAL);
  facts.regularFile = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  facts.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  facts.volume = info.dwVolumeSerialNumber;
  facts.fileId = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  FILE_BASIC_INFO times{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times))
    return win32_errno::errnoOf(GetLastError(), EINVAL);
  facts.modified = times.LastWriteTime.QuadPart;
  facts.changed = times.ChangeTime.QuadPart;
  return 0;
}

int permissionsOf(const std::wstring&, unsigned& bits) {
  // Nothing to ask: files inherit. A planned failure still fails, as on POSIX.
  bits = 0;
  return goAhead(FaultPoint::fileStatus) ? 0 : errno;
}

void restrictNewFiles(unsigned) {}

unsigned long processNumber() { return GetCurrentProcessId(); }

int nameTaken(const std::wstring& path, bool& taken) {
  if (!goAhead(FaultPoint::nameStatus)) return errno;
  // The name itself: a link is not followed.
  taken = path_calls::attributes(long_paths::systemPath(path)) != INVALID_FILE_ATTRIBUTES;
  if (taken) return 0;
  const int error = win32_errno::errnoOf(GetLastError(), EINVAL);
  return error == ENOENT ? 0 : error;
}

int isLink(const std::wstring& path, bool& link) {
  if (!goAhead(FaultPoint::nameStatus)) return errno;
  // A long path asked plainly fails where the long-path setting is off,
  // which would read as no link, and the open after would follow it.
  const DWORD attributes = path_calls::attributes(long_paths::systemPath(path));
  link = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (attributes != INVALID_FILE_ATTRIBUTES) return 0;
  const int error = win32_errno::errnoOf(GetLastError(), EINVAL);
  return error == ENOENT ? 0 : error;
}

namespace {

// Creates `path` new with `flags`. DELETE access: the handle renames the
// file later, or deletes it. No sharing: nobody else can rename, replace,
// remove or write it while it is open (and so no second handle of ours).
HANDLE createNew(const std::wstring& path, DWORD flags) {
  return path_calls::createFile(long_paths::systemPath(path), GENERIC_READ | GENERIC_WRITE | DELETE,
                                0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | flags);
}

// Sets or clears the file's deletion at its handle's last close.
bool markDeleted(HANDLE handle, bool deleted = true) {
  call_journal::note(deleted ? L"disposition delete" : L"disposition keep");
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleted ? TRUE : FALSE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

// Creates `path` new with `flags`, marked for deletion at once: a process
// killed outright, crashed or ended by the system after its control
// routine's time leaves nothing, its handles closed by the system.
// INVALID_HANDLE_VALUE when it cannot, nothing left.
HANDLE createMarked(const std::wstring& path, DWORD flags) {
  const HANDLE handle = createNew(path, flags);
  if (handle == INVALID_HANDLE_VALUE || markDeleted(handle)) return handle;
  const DWORD error = GetLastError();
  CloseHandle(handle);
  path_calls::deleteFile(long_paths::systemPath(path));
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

// The file created past the cache, its sector size in `sector`, where the
// volume takes such writes in sectors the buffers fit; else, the file
// that was tried removed again, INVALID_HANDLE_VALUE with `sector` 0.
HANDLE createPastTheCache([[maybe_unused]] const std::wstring& path, uint32_t& sector) {
  sector = 0;
#if !FILESPLIT_NO_FLUSH
  if (!goAhead(FaultPoint::mediumWrites)) return INVALID_HANDLE_VALUE;
  const HANDLE handle = createMarked(path, unbuffered_writes::kFlags);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  sector = medium_sectors::sectorSize(handle, platform::kMediumAlignment);
  if (sector_reads::fits(sector, platform::kMediumAlignment)) {
    unbuffered_writes::recordOpen(unbuffered_writes::kFlags, sector);
    return handle;
  }
  sector = 0;
  CloseHandle(handle);  // marked: it goes
#endif
  return INVALID_HANDLE_VALUE;
}

}  // namespace

int createPendingFile(const OutputFolder& folder, const std::wstring& temporaryPath,
                      const std::wstring&, unsigned, PendingFile& file) {
  file = PendingFile{};
  // By its path: the held folder cannot be renamed or removed meanwhile.
  file.folder = &folder;
  if (!goAhead(FaultPoint::pendingCreation)) return errno;
  // Past the cache where the volume allows; else through it, the sector
  // size being unknown or not fitting.
  HANDLE handle = createPastTheCache(temporaryPath, file.bypassSector);
  if (handle == INVALID_HANDLE_VALUE) handle = createMarked(temporaryPath, 0);
  if (handle == INVALID_HANDLE_VALUE) return errnoOfJoinCall(GetLastError(), EINVAL);
  file.fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (file.fd < 0) {
    CloseHandle(handle);  // marked: it goes
    return EMFILE;
  }
  file.temporaryPath = temporaryPath;
  return 0;
}

int namePendingFile(PendingFile& file, const std::wstring& finalPath) {
  if (!goAhead(FaultPoint::rename)) return errno;
  const HANDLE handle = os_handle::of(file.fd);
  // A file marked for deletion cannot be renamed: the mark goes just before,
  // and comes back when the rename fails.
  if (!markDeleted(handle, false)) return errnoOfJoinCall(GetLastError(), EINVAL);
  call_journal::note(L"rename");
  if (!path_calls::renameTo(handle, long_paths::systemPath(finalPath))) {
    const DWORD error = GetLastError();
    markDeleted(handle);
    return errnoOfJoinCall(error, EINVAL);
  }
  file.temporaryPath.clear();
  return 0;
}

int flushName(const PendingFile& file) {
  call_journal::note(L"flush");
  return flushToMedium(file.fd);
}

int releasePendingFile(PendingFile& file) {
  if (!file.temporaryPath.empty()) {
    // Deleted at its handle's close: open without sharing, it is still ours.
    if (!goAhead(FaultPoint::pendingRemoval)) return errno;
    if (!markDeleted(os_handle::of(file.fd))) return errnoOfJoinCall(GetLastError(), EIO);
    file.temporaryPath.clear();
  }
  return 0;
}

}  // namespace platform
