#include "platform/test_hooks.h"

#include <csignal>

#include "faked_provider.h"
#include "faked_volume.h"
#include "interrupts.h"
#include "platform/sector_reads.h"

#if FILESPLIT_FAULT_INJECTION
namespace {

uint32_t digestLength = 0;
std::optional<platform_test_hooks::FakeSpace> space;
unsigned long blockSize = 1;
std::optional<platform_test_hooks::FakeFileSizeLimit> fileSizeLimit;

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

bool fakedFileSizeLimit(struct rlimit& limit) {
  if (!fileSizeLimit) return false;
  limit.rlim_cur = fileSizeLimit->soft;
  limit.rlim_max = fileSizeLimit->hard;
  return true;
}

bool fakeBlockSize(unsigned long bytes) {
  blockSize = bytes;
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
bool fakeReparsePoint(const std::wstring& name) { return name.empty(); }

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

bool fakeFileSizeLimit(const std::optional<FakeFileSizeLimit>& limit) {
  fileSizeLimit = limit;
  return true;
}
#else
// Without the seam the provider and the queries always ask the system, and
// asking for nothing is all that succeeds.
bool fakeDigestLength(uint32_t length) { return length == 0; }
bool recordMediumReads(MediumCalls* record) { return record == nullptr; }
bool fakeFreeSpace(const std::optional<FakeSpace>& answer) { return !answer; }
bool fakeFileSizeLimit(const std::optional<FakeFileSizeLimit>& limit) { return !limit; }
#endif

bool startMediumWritesAt(uint64_t offset) { return offset == 0; }

}  // namespace platform_test_hooks
