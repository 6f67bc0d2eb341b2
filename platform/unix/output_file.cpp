// The rebuilt file's way to its final name on UNIX systems: unnamed
// (sys::openUnnamed, Linux's O_TMPFILE) and linked to its name only once verified; where the file
// system cannot, a temporary name renamed without replacing, and then a
// check on the open descriptor that the final name is the file written.
// Every name is made relative to the held output folder's descriptor, so
// that all of it happens in that one folder, wherever its path leads now.
#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "held_folders.h"
#include "input_watch.h"
#include "native_text.h"
#include "sys_calls.h"

namespace platform {

int describeOpenFile(int fd, OpenFileFacts& facts) {
  struct stat info {};
  if (sys::describe(fd, &info) != 0) return errno;
  facts.regularFile = S_ISREG(info.st_mode);
  facts.permissions = info.st_mode & 07777;
  facts.size = static_cast<uint64_t>(info.st_size);
  facts.volume = static_cast<uint64_t>(info.st_dev);
  facts.fileId = static_cast<uint64_t>(info.st_ino);
  constexpr int64_t kBillion = 1000000000;
  facts.modified = info.st_mtim.tv_sec * kBillion + info.st_mtim.tv_nsec;
  facts.changed = info.st_ctim.tv_sec * kBillion + info.st_ctim.tv_nsec;
  const input_watch::Seen seen = input_watch::seen(fd);
  facts.writersWatched = seen.watched;
  facts.writersSeen = seen.writers;
  return 0;
}

int permissionsOf(const std::wstring& path, unsigned& bits) {
  std::string name;
  if (!posix_text::encode(path, name)) return EINVAL;
  struct stat info {};
  if (sys::stat(name.c_str(), &info) != 0) return errno;
  bits = info.st_mode & 0777;
  return 0;
}

void restrictNewFiles(unsigned bits) {
  const mode_t mask = sys::umask(0);
  sys::umask(mask | (~bits & 0777));
}

unsigned long processNumber() { return static_cast<unsigned long>(sys::getpid()); }

int nameTaken(const std::wstring& path, bool& taken) {
  std::string name;
  if (!posix_text::encode(path, name)) return EINVAL;
  struct stat info {};
  taken = sys::lstat(name.c_str(), &info) == 0;
  if (taken || errno == ENOENT) return 0;
  return errno;
}

int isLink(const std::wstring& path, bool& link) {
  std::string name;
  if (!posix_text::encode(path, name)) return EINVAL;
  struct stat info {};
  link = false;
  if (sys::lstat(name.c_str(), &info) == 0) {
    link = S_ISLNK(info.st_mode);
    return 0;
  }
  return errno == ENOENT ? 0 : errno;
}

namespace {

// The held folder's descriptor of `file`.
int folderOf(const PendingFile& file) { return static_cast<int>(file.folder->held()); }

// The name there of `path`, a path directly in the held folder of `file`.
bool nameInFolder(const PendingFile& file, const std::wstring& path, std::string& name) {
  std::string folder, bytes;
  return posix_text::encode(file.folder->path(), folder) && posix_text::encode(path, bytes) &&
         held_folders::nameIn(folder, bytes, name);
}

// The name in the held folder of the temporary file: its own folder's, then
// "/" and its own.
bool temporaryName(const PendingFile& file, std::string& name) {
  std::string own;
  if (!nameInFolder(file, file.temporaryFolder, name) ||
      !posix_text::encode(file.temporaryPath.substr(file.temporaryFolder.size()), own))
    return false;
  name += own;
  return true;
}

// Whether `name` in the held folder holds the file `file` was created as
// (links not followed).
bool holds(const std::string& name, const PendingFile& file) {
  struct stat info {};
  return sys::lstatAt(folderOf(file), name.c_str(), &info) == 0 &&
         static_cast<uint64_t>(info.st_dev) == file.device &&
         static_cast<uint64_t>(info.st_ino) == file.inode;
}

// Where a rename fails for want of a way not to replace: the file system
// has neither renameat2's RENAME_NOREPLACE nor links (FAT, exFAT).
bool cannotKeepTarget(int error) {
  return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

// Takes `finalName` with a new empty file, then renames `temporaryName`
// onto it while it is still that file and `temporaryName` still `file`.
int renameOntoReservation(const std::string& temporaryName, const std::string& finalName,
                          const PendingFile& file) {
  const int folder = folderOf(file);
  const int reserved =
      sys::openAt(folder, finalName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (reserved < 0) return errno;
  struct stat reservation {};
  const bool told = sys::fstat(reserved, &reservation) == 0;
  const int error = told ? 0 : errno;
  sys::close(reserved);
  if (!told) return error;
  struct stat now {};
  const bool stillOurs = sys::lstatAt(folder, finalName.c_str(), &now) == 0 &&
                         now.st_dev == reservation.st_dev && now.st_ino == reservation.st_ino &&
                         S_ISREG(now.st_mode) && now.st_size == 0;
  if (!stillOurs) return EEXIST;  // not ours to replace or remove any more
  if (!holds(temporaryName, file)) {
    (void)sys::unlink(folder, finalName.c_str());
    return kTemporaryNameTakenOver;
  }
  if (sys::renameReplacing(folder, temporaryName.c_str(), finalName.c_str()) == 0) return 0;
  const int failed = errno;
  (void)sys::unlink(folder, finalName.c_str());
  return failed;
}

}  // namespace

int createPendingFile(const OutputFolder& folder, const std::wstring& temporaryPath,
                      const std::wstring& fileName, unsigned permissions, PendingFile& file) {
  file = PendingFile{};
  file.folder = &folder;
  std::string temporaryFolder, name;
  if (!nameInFolder(file, temporaryPath, temporaryFolder) || !posix_text::encode(fileName, name))
    return EINVAL;
  const int at = folderOf(file);
  const mode_t mode = permissions & 0777;
  file.fd = sys::openUnnamed(at, mode);
  if (file.fd >= 0) return 0;
  // vfat, exfat and some FUSE file systems have no unnamed files.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
  if (sys::makeFolder(at, temporaryFolder.c_str(), 0700) != 0) return errno;
  const std::string temporaryName = temporaryFolder + "/" + name;
  file.fd = sys::openAt(at, temporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  struct stat info {};
  if (file.fd < 0 || sys::fstat(file.fd, &info) != 0) {
    const int error = errno;
    if (file.fd >= 0) {
      sys::close(file.fd);
      (void)sys::unlink(at, temporaryName.c_str());
    }
    (void)sys::removeFolder(at, temporaryFolder.c_str());
    file = PendingFile{};
    return error;
  }
  file.temporaryFolder = temporaryPath;
  file.temporaryPath = temporaryPath + L"/" + fileName;
  file.device = static_cast<uint64_t>(info.st_dev);
  file.inode = static_cast<uint64_t>(info.st_ino);
  return 0;
}

int namePendingFile(PendingFile& file, const std::wstring& finalPath) {
  std::string finalName, temporary;
  if (!nameInFolder(file, finalPath, finalName)) return EINVAL;
  const int at = folderOf(file);
  if (file.temporaryPath.empty())
    return sys::linkOpenFile(file.fd, at, finalName.c_str()) == 0 ? 0 : errno;
  if (!temporaryName(file, temporary)) return EINVAL;
  // The name goes to the file written, never to what took its name over.
  if (!holds(temporary, file)) return kTemporaryNameTakenOver;
  if (sys::renameNoReplace(at, temporary.c_str(), finalName.c_str()) != 0) {
    if (!cannotKeepTarget(errno)) return errno;
    if (const int error = renameOntoReservation(temporary, finalName, file)) return error;
  }
  if (!holds(finalName, file)) {
    // Taken over between the check and the rename: what was moved goes back.
    if (sys::renameReplacing(at, finalName.c_str(), temporary.c_str()) != 0)
      return kNameHoldsAnotherFile;
    return kTemporaryNameTakenOver;
  }
  file.temporaryPath.clear();
  return 0;
}

int releasePendingFile(PendingFile& file) {
  if (file.folder == nullptr) return 0;  // nothing was created
  std::string temporary, temporaryFolder;
  if ((!file.temporaryPath.empty() && !temporaryName(file, temporary)) ||
      (!file.temporaryFolder.empty() && !nameInFolder(file, file.temporaryFolder, temporaryFolder)))
    return EINVAL;
  const int at = folderOf(file);
  if (!temporary.empty() && !holds(temporary, file)) {
    // Someone else's file took the name, and with it our file: theirs stays,
    // and so does the folder that holds it.
    file.temporaryPath.clear();
    file.temporaryFolder.clear();
    return 0;
  }
  if (!temporary.empty()) {
    // Let go of the file first: a FUSE file system keeps a removed file that
    // is still open under another name, in the folder, until it is closed.
    if (sys::retire(file.fd) != 0 || sys::unlink(at, temporary.c_str()) != 0) return errno;
    file.temporaryPath.clear();
  }
  if (!temporaryFolder.empty()) {
    if (sys::removeFolder(at, temporaryFolder.c_str()) != 0) return errno;
    file.temporaryFolder.clear();
  }
  return 0;
}

// The folder's flush after the naming writes the name.
int flushName(const PendingFile&) { return 0; }

}  // namespace platform
