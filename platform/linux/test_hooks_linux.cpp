// The test hooks of what only the Linux side has: the file-system type a
// test names (statfs magic numbers), the alignments past the cache, and
// the record of writes past the cache.
#include <linux/magic.h>

#include "direct_writes.h"
#include "faked_file_system.h"
#include "platform/test_hooks.h"

#if FILESPLIT_FAULT_INJECTION
namespace {

std::optional<std::wstring> fileSystemName;
std::optional<platform_test_hooks::DirectAlignment> directAlignment;

// Not in <linux/magic.h>: the ntfs3 driver's magic number, "NTFS" in ASCII.
constexpr long kNtfsMagic = 0x5346544e;

// The statfs type of the file system Windows would call `name`.
long magicOf(const std::wstring& name) {
  if (name == L"FAT" || name == L"FAT32") return MSDOS_SUPER_MAGIC;
  if (name == L"exFAT") return EXFAT_SUPER_MAGIC;
  if (name == L"NTFS") return kNtfsMagic;
  return 0;
}

}  // namespace

namespace posix_test_hooks {

bool fakedStatfs(struct statfs& info) {
  if (!fileSystemName) return false;
  info = {};
  info.f_type = magicOf(*fileSystemName);
  return true;
}

bool fakedDirectAlignment(uint32_t& offset, uint32_t& memory) {
  if (!directAlignment) return false;
  offset = directAlignment->offset;
  memory = directAlignment->memory;
  return true;
}

}  // namespace posix_test_hooks
#endif

namespace platform_test_hooks {

#if FILESPLIT_FAULT_INJECTION
bool fakeFileSystem(const std::optional<std::wstring>& name) {
  fileSystemName = name;
  return true;
}

bool recordMediumWrites(MediumCalls* record) {
  direct_writes::recording = record;
  return true;
}

bool fakeDirectAlignment(const std::optional<DirectAlignment>& answer) {
  directAlignment = answer;
  return true;
}
#else
// Without the seam the queries always ask the system, and asking for
// nothing is all that succeeds.
bool fakeFileSystem(const std::optional<std::wstring>& name) { return !name; }
bool recordMediumWrites(MediumCalls* record) { return record == nullptr; }
bool fakeDirectAlignment(const std::optional<DirectAlignment>& answer) { return !answer; }
#endif

}  // namespace platform_test_hooks
