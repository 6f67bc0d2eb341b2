#include "platform/test_hooks.h"

#include <cstdlib>

#include "call_journal.h"
#include "code_page_text.h"
#include "interrupts.h"
#include "path_calls.h"
#include "platform/platform.h"
#include "platform/sector_reads.h"
#include "unbuffered_writes.h"
#include "win32_errno.h"

namespace platform_test_hooks {

#if FILESPLIT_FAULT_INJECTION
// Test builds answer the provider's digest length through the fault seam.
bool fakeDigestLength(uint32_t length) {
  win_seam::fakeDigestLength(length);
  return true;
}

bool fakeFreeSpace(const std::optional<FakeSpace>& space) {
  win_seam::fakeFreeSpace(space.has_value(), space ? space->available : 0,
                          space ? space->total : 0);
  return true;
}

bool fakeFileSystem(const std::optional<std::wstring>& name) {
  win_seam::fakeFileSystemName(name ? name->c_str() : nullptr);
  return true;
}

bool recordMediumReads(MediumCalls* record) {
  sector_reads::recording = record;
  return true;
}

bool recordMediumWrites(MediumCalls* record) {
  unbuffered_writes::recording = record;
  return true;
}

bool startMediumWritesAt(uint64_t offset) {
  unbuffered_writes::firstOffset = offset;
  return true;
}

bool recordCalls(std::vector<std::wstring>* journal) {
  call_journal::recordInto(journal);
  return true;
}

bool fakeReparsePoint(const std::wstring& name) {
  path_calls::fakeReparsePoint(name);
  return true;
}
#else
// CNG's own provider reports its own lengths: nothing can be faked here, and
// asking for nothing (0) is all that succeeds.
bool fakeDigestLength(uint32_t length) { return length == 0; }

// Without the seam the volume queries always ask the system.
bool fakeFreeSpace(const std::optional<FakeSpace>& space) { return !space; }
bool fakeFileSystem(const std::optional<std::wstring>& name) { return !name; }
bool recordMediumReads(MediumCalls* record) { return record == nullptr; }
bool recordMediumWrites(MediumCalls* record) { return record == nullptr; }
bool startMediumWritesAt(uint64_t offset) { return offset == 0; }
bool recordCalls(std::vector<std::wstring>* journal) { return journal == nullptr; }
bool fakeReparsePoint(const std::wstring& name) { return name.empty(); }
#endif

bool fakeDirectAlignment(const std::optional<DirectAlignment>& answer) { return !answer; }

// Windows has no file-size limit to fake.
bool fakeFileSizeLimit(const std::optional<FakeFileSizeLimit>& limit) { return !limit; }

bool errnoOfSystemError(unsigned long code, int unknown, int& errnum) {
  errnum = win32_errno::errnoOf(code, unknown);
  return true;
}

void interrupt() {
  if (win_interrupts::onControl(CTRL_C_EVENT) == FALSE)
    std::abort();  // no handler: the routine leaves the event to the system
}

bool logOff() {
  win_interrupts::onControl(CTRL_LOGOFF_EVENT);
  return true;
}

int interruptAndGoOn() { return win_interrupts::handlerCode(); }

bool pipeBytes(const std::wstring& text, unsigned codePage, std::string& bytes) {
  bytes = code_page_text::encode(text, codePage);
  return true;
}

}  // namespace platform_test_hooks
