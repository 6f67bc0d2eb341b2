// The type of the file system holding the output folder, on Linux: statfs's
// magic number.
#include <linux/magic.h>

#include "linux_calls.h"
#include "platform/platform.h"
#include "platform/unix/native_text.h"

namespace platform {

bool onFatFileSystem(const std::wstring& folder) {
  std::string name;
  struct statfs info {};
  // vfat and msdos share the magic number; exFAT has its own.
  return posix_text::encode(folder, name) && sys::statfs(name.c_str(), &info) == 0 &&
         info.f_type == MSDOS_SUPER_MAGIC;
}

}  // namespace platform
