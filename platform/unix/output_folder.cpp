// The output folder held for a run on POSIX systems: a descriptor of the
// folder, and the list through which the C runtime's stand-in finds it.
//
// The core creates its outputs as the Windows runtime does, by a path
// (_wsopen_s), and a path cannot be pinned here as a handle that shares no
// deletion pins it on Windows. So the stand-in, rather than the core, takes
// a creating open of a path directly in a held folder relative to that
// folder's descriptor (openat): the core keeps its one call and its open
// errors, and needs no #ifdef and no second way to open.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "held_folders.h"
#include "native_text.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "sys_calls.h"

namespace {

struct HeldFolder {
  std::string path;  // as the system takes it, "" for the current folder
  int fd;
};

// The folders held now. Locked: a join's reader thread opens files while
// the run holds its folder.
class HeldFolders {
 public:
  void add(const std::string& path, int fd) {
    const std::lock_guard<std::mutex> locked(lock_);
    folders_.push_back({path, fd});
  }
  void remove(int fd) {
    const std::lock_guard<std::mutex> locked(lock_);
    folders_.erase(std::remove_if(folders_.begin(), folders_.end(),
                                  [fd](const HeldFolder& folder) { return folder.fd == fd; }),
                   folders_.end());
  }
  int find(const std::string& path, std::string& name) {
    const std::lock_guard<std::mutex> locked(lock_);
    for (const HeldFolder& folder : folders_)
      if (held_folders::nameIn(folder.path, path, name)) return folder.fd;
    return -1;
  }

 private:
  std::mutex lock_;
  std::vector<HeldFolder> folders_;
};

HeldFolders& heldFolders() {
  static HeldFolders held;
  return held;
}

}  // namespace

namespace held_folders {

bool nameIn(const std::string& folder, const std::string& path, std::string& name) {
  if (path.compare(0, folder.size(), folder) != 0) return false;
  size_t at = folder.size();
  if (!folder.empty() && folder.back() != '/') {
    if (at >= path.size() || path[at] != '/') return false;
    ++at;
  }
  name = path.substr(at);
  return !name.empty() && name.find('/') == std::string::npos;
}

int find(const std::string& path, std::string& name) { return heldFolders().find(path, name); }

}  // namespace held_folders

namespace platform {

OutputFolder::OutputFolder(const std::wstring& path) : path_(path), held_(-1) {
  const std::string name = nativePath(path).native();
  // O_RDONLY, not O_PATH: fsync takes no O_PATH descriptor.
  const int fd =
      sys::open(name.empty() ? "." : name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0)
    throw std::filesystem::filesystem_error("open", queryPath(path),
                                            std::error_code(errno, std::generic_category()));
  held_ = fd;
  heldFolders().add(name, fd);
}

OutputFolder::~OutputFolder() {
  const int fd = static_cast<int>(held_);
  heldFolders().remove(fd);
  sys::closeFolder(fd);
}

std::optional<std::wstring> OutputFolder::whereNow() const {
  const int fd = static_cast<int>(held_);
  struct stat held {};
  if (sys::fstat(fd, &held) != 0) return path_;  // cannot tell: as given
  if (held.st_nlink == 0) return std::nullopt;   // removed, even while open
  const std::string name = nativePath(path_).native();
  struct stat named {};
  if (sys::statQuietly(name.empty() ? "." : name.c_str(), &named) == 0 &&
      named.st_dev == held.st_dev && named.st_ino == held.st_ino)
    return path_;
  // Moved: the system knows the open folder's path, from the root of the
  // mount that holds it. A medium detached meanwhile (umount -l) hangs from
  // no root of this process: that path leads elsewhere or nowhere, and the
  // folder is named as given, where it is once the medium is mounted again.
  std::string moved;
  struct stat there {};
  if (sys::folderPathOf(fd, moved) != 0 || sys::statQuietly(moved.c_str(), &there) != 0 ||
      there.st_dev != held.st_dev || there.st_ino != held.st_ino)
    return path_;
  return widePath(std::filesystem::path(moved));
}

#if FILESPLIT_NO_FLUSH
int OutputFolder::flush() const { return 0; }
#else
int OutputFolder::flush() const {
  return sys::fsyncFolder(static_cast<int>(held_)) == 0 ? 0 : errno;
}
#endif

}  // namespace platform
