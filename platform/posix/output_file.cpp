// The rebuilt file's way to its final name on POSIX systems: unnamed
// (O_TMPFILE) and linked to its name only once verified; where the file
// system cannot, a temporary name renamed without replacing, and then a
// check on the open descriptor that the final name is the file written.
#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "native_text.h"
#include "sys_calls.h"

namespace platform {

int describeOpenFile(int fd, OpenFileFacts& facts) {
  struct stat info {};
  if (sys::describe(fd, &info) != 0) return errno;
  facts.regularFile = S_ISREG(info.st_mode);
  facts.permissions = info.st_mode & 07777;
  facts.size = static_cast<uint64_t>(info.st_size);
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
  const mode_t mask = ::umask(0);
  ::umask(mask | (~bits & 0777));
}

unsigned long processNumber() { return static_cast<unsigned long>(::getpid()); }

int nameTaken(const std::wstring& path, bool& taken) {
  std::string name;
  if (!posix_text::encode(path, name)) return EINVAL;
  struct stat info {};
  taken = sys::lstat(name.c_str(), &info) == 0;
  if (taken || errno == ENOENT) return 0;
  return errno;
}

int createPendingFile(const std::wstring& folder, const std::wstring& temporaryPath,
                      unsigned permissions, PendingFile& file) {
  std::string folderName, temporaryName;
  if (!posix_text::encode(folder.empty() ? L"." : folder, folderName) ||
      !posix_text::encode(temporaryPath, temporaryName))
    return EINVAL;
  const mode_t mode = permissions & 0777;
  file.fd = sys::openUnnamed(folderName.c_str(), mode);
  if (file.fd >= 0) {
    file.temporaryPath.clear();
    return 0;
  }
  // vfat, exfat and some FUSE file systems have no unnamed files.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
  file.fd = sys::open(temporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (file.fd < 0) return errno;
  file.temporaryPath = temporaryPath;
  return 0;
}

int namePendingFile(PendingFile& file, const std::wstring& finalPath) {
  std::string finalName, temporaryName;
  if (!posix_text::encode(finalPath, finalName)) return EINVAL;
  if (file.temporaryPath.empty())
    return sys::linkOpenFile(file.fd, finalName.c_str()) == 0 ? 0 : errno;
  if (!posix_text::encode(file.temporaryPath, temporaryName)) return EINVAL;
  if (sys::renameNoReplace(temporaryName.c_str(), finalName.c_str()) != 0) return errno;
  file.temporaryPath.clear();
  // The rename took whatever was at the temporary name by then.
  struct stat written {
  }, named{};
  if (sys::fstat(file.fd, &written) != 0) return errno;
  if (sys::lstat(finalName.c_str(), &named) != 0) return errno;
  const bool same = written.st_dev == named.st_dev && written.st_ino == named.st_ino;
  return same ? 0 : kNameHoldsAnotherFile;
}

}  // namespace platform
