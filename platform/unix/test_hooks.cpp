#include "platform/test_hooks.h"

#include <linux/magic.h>

#include <csignal>

#include "platform/linux/direct_writes.h"
#include "faked_provider.h"
#include "faked_volume.h"
#include "interrupts.h"
#include "platform/sector_reads.h"

#if FILESPLIT_FAULT_INJECTION
namespace {

uint32_t digestLength = 0;
std::optional<platform_test_hooks::FakeSpace> space;
std::optional<std::wstring> fileSystemName;
std::optional<platform_test_hooks::DirectAlignment> directAlignment;
unsigned long blockSize = 1;

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

uint32_t fakedDigestLength() { return digestLength; }

bool fakedStatvfs(struct statvfs& info) {
  if (!space) return false;
  info = {};
  info.f_bsize = blockSize;
  info.f_frsize = blockSize;
  info.f_blocks = space->total;
  info.f_bfree = space->available + space->keptForSuperuser;
  info.f_bavail = space->available;
  return true;
}

bool fakeBlockSize(unsigned long bytes) {
  blockSize = bytes;
  return true;
}

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

// The console writes the C library's encoding here, no code page.
bool pipeBytes(const std::wstring&, unsigned, std::string&) { return false; }

bool errnoOfSystemError(unsigned long, int, int&) { return false; }

void interrupt() { posix_interrupts::endWith(SIGINT); }

int interruptAndGoOn() { return posix_interrupts::handlerCode(); }

// No logoff event, and nothing recorded that shows nowhere else.
bool logOff() { return false; }
bool recordCalls(std::vector<std::wstring>* journal) { return journal == nullptr; }

#if FILESPLIT_FAULT_INJECTION
bool recordMediumReads(MediumCalls* record) {
  sector_reads::recording = record;
  return true;
}

bool fakeDigestLength(uint32_t length) {
  digestLength = length;
  return true;
}

bool fakeFreeSpace(const std::optional<FakeSpace>& answer) {
  space = answer;
  return true;
}

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
// Without the seam the provider and the queries always ask the system, and
// asking for nothing is all that succeeds.
bool fakeDigestLength(uint32_t length) { return length == 0; }
bool recordMediumReads(MediumCalls* record) { return record == nullptr; }
bool fakeFreeSpace(const std::optional<FakeSpace>& answer) { return !answer; }
bool fakeFileSystem(const std::optional<std::wstring>& name) { return !name; }
bool recordMediumWrites(MediumCalls* record) { return record == nullptr; }
bool fakeDirectAlignment(const std::optional<DirectAlignment>& answer) { return !answer; }
#endif

bool startMediumWritesAt(uint64_t offset) { return offset == 0; }

}  // namespace platform_test_hooks
