// What the file system holding the output folder tells about itself on
// UNIX systems: the space left to this user (statvfs); and the largest file
// this process may write there (getrlimit). Its type is each system's own
// question (platform/linux/file_system_type.cpp).

#include "platform/platform.h"
#include "sys_calls.h"

namespace platform {
namespace {

// `folder` as the system names it; false when it has no such name.
bool systemName(const std::wstring& folder, std::string& name) {
  try {
    name = nativePath(folder).native();
    return true;
  } catch (const std::filesystem::filesystem_error&) {
    return false;
  }
}

}  // namespace

std::optional<uint64_t> freeSpace(const std::wstring& folder) {
  std::string name;
  struct statvfs info {};
  if (!systemName(folder, name) || sys::statvfs(name.c_str(), &info) != 0 || info.f_blocks == 0)
    return std::nullopt;
  // Blocks a file system keeps back for the superuser (ext4's reserve) are
  // the superuser's to write: refusing root on them would refuse a split
  // that fits.
  const uint64_t blocks = sys::geteuid() == 0 ? info.f_bfree : info.f_bavail;
  uint64_t bytes = 0;
  // Beyond 16 EiB: more than any split needs.
  if (__builtin_mul_overflow(blocks, static_cast<uint64_t>(info.f_frsize), &bytes))
    return UINT64_MAX;
  return bytes;
}

std::optional<uint64_t> largestFileAllowed() {
  rlimit limit{};
  if (sys::fileSizeLimit(&limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  return static_cast<uint64_t>(limit.rlim_cur);
}

}  // namespace platform
