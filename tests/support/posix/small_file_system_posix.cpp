#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "../small_file_system.h"
#include "platform/platform.h"
#include "platform/unix/faked_volume.h"

namespace {

std::string systemName(const std::wstring& folder) { return platform::nativePath(folder).native(); }

}  // namespace

SmallFileSystem::SmallFileSystem(const std::wstring& folder, uint64_t bytes) : folder_(folder) {
  if (geteuid() != 0) {
    whyNot_ = "mounting a tmpfs needs root";
    return;
  }
  const std::string options = "size=" + std::to_string(bytes);
  if (mount("tmpfs", systemName(folder).c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) !=
      0) {
    whyNot_ = std::string("a tmpfs cannot be mounted here: ") + std::strerror(errno);
    return;
  }
  mounted_ = true;
}

SmallFileSystem::~SmallFileSystem() {
  // Detached: a file the test still holds open does not keep it mounted.
  if (mounted_) umount2(systemName(folder_).c_str(), MNT_DETACH);
}

uint64_t SmallFileSystem::available() const {
  struct statvfs info {};
  if (statvfs(systemName(folder_).c_str(), &info) != 0) throw std::runtime_error("statvfs");
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

bool fakeBlockSize(unsigned long bytes) { return posix_test_hooks::fakeBlockSize(bytes); }
