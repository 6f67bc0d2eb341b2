// Switches for tests only; a normal run never turns them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform_test_hooks {

/// Makes the MD5 provider report `length` as its digest length (0: its true
/// one). False where the platform's provider cannot be faked.
bool fakeDigestLength(uint32_t length);

/// Stores in `bytes` what the console writes for `text` to a pipe or a file
/// whose code page is `codePage`. False where the console writes no code
/// pages (elsewhere than on Windows it writes the C library's encoding).
bool pipeBytes(const std::wstring& text, unsigned codePage, std::string& bytes);
/// An answer of the free-space query, as a test gives it.
struct FakeSpace {
  uint64_t available = 0;  // bytes the caller may write
  uint64_t total = 0;      // the file system's size
  /// Bytes beyond `available` that only the superuser may write (ext4's
  /// reserve); ignored where the platform keeps no such reserve.
  uint64_t keptForSuperuser = 0;
};

/// Makes the free-space query answer `space` for every folder the system
/// finds, in place of the system's numbers; a path that names no folder
/// still fails (nullopt: the system answers again). A fault planned at
/// FaultPoint::freeSpace still fails the query. False where this build
/// cannot fake it.
bool fakeFreeSpace(const std::optional<FakeSpace>& space);

/// A file-size limit (ulimit -f), as a test gives it: the soft limit binds
/// the process, the hard one only caps how far it may raise it.
struct FakeFileSizeLimit {
  uint64_t soft = 0;
  uint64_t hard = 0;
};

/// Makes the file-size limit query answer `limit` (nullopt: the system
/// answers again). False where this build or platform cannot fake it
/// (Windows has no such limit).
bool fakeFileSizeLimit(const std::optional<FakeFileSizeLimit>& limit);

/// Makes the file-system type query answer, for a folder the system finds,
/// as a file system named `name` would, in the names Windows gives: "FAT"
/// (FAT12 and FAT16), "FAT32", "exFAT", "NTFS"; any other name stands for
/// some other file system (nullopt: the system answers again). A fault
/// planned at FaultPoint::fileSystemType still fails the query. False where
/// this build cannot fake it.
bool fakeFileSystem(const std::optional<std::wstring>& name);

/// How a file system says reads and writes past its cache must be aligned:
/// their offsets and sizes, and their buffers' addresses (Linux statx
/// STATX_DIOALIGN).
struct DirectAlignment {
  uint32_t offset = 0;
  uint32_t memory = 0;
};

/// Makes the alignment query answer `answer` for every file (nullopt: the
/// system answers again). False where this build or platform cannot fake it
/// (Windows asks the volume's sector size instead).
bool fakeDirectAlignment(const std::optional<DirectAlignment>& answer);

/// Makes the console window report `processes` attached processes (1: the
/// tool's alone; 0: no console at all), with standard input and output on
/// it, its window `shown` or hidden, the process in the services' session
/// (session 0) or not, and answers each key wait at once with a key, as if
/// the user pressed one (nullopt: the system answers again). Resets the
/// count of keys taken. False where this build cannot fake it.
bool fakeConsole(std::optional<unsigned> processes, bool shown = true,
                 bool servicesSession = false);

/// The key waits the faked console answered since fakeConsole.
unsigned consoleKeysTaken();

/// What the reads or the writes of files past the system cache did (Windows:
/// handles opened with no buffering; Linux: O_DIRECT writes), as a test
/// checks the rules those calls keep.
struct MediumCalls {
  unsigned opens = 0;              // files made to take such calls
  bool allBypassTheCache = true;   // every call went past the cache (the flags)
  uint32_t sectorSize = 0;         // the last file's volume sector size
  std::vector<uintptr_t> buffers;  // each call's buffer address, in order
  std::vector<size_t> sizes;       // each call's asked size, in order
  std::vector<uint64_t> offsets;   // each call's file offset, as the system was told, in order
  int64_t endPosition = -1;        // the file's position after its last bytes (-1: none written)
  /// Of reads that choose their way each time (Linux, where the cache is
  /// asked): whether each went past the cache, as the descriptor then stood.
  std::vector<bool> pastTheCache;

  /// Counts a file made to take such calls, `bypassing` the cache or not,
  /// on a volume of `sector`-byte sectors.
  void opened(bool bypassing, uint32_t sector) {
    ++opens;
    if (!bypassing) allBypassTheCache = false;
    sectorSize = sector;
  }
  /// Adds one call, as it was asked.
  void called(const void* buffer, size_t size, uint64_t offset) {
    buffers.push_back(reinterpret_cast<uintptr_t>(buffer));
    sizes.push_back(size);
    offsets.push_back(offset);
  }
  /// Adds the way the read being made goes: past the cache or through it.
  void went(bool past) { pastTheCache.push_back(past); }
};

/// Records into `record` every read past the cache from now on (null: stops
/// recording). False where this build or platform has no such reads (Linux
/// reads the descriptor after dropping its cached pages).
bool recordMediumReads(MediumCalls* record);

/// Records into `record` every write past the cache from now on (null: stops
/// recording). False where this build has no seam to record in.
bool recordMediumWrites(MediumCalls* record);

/// Records into `record` every write-back started from now on, as the
/// platform was asked for it: each range's offset and size, no buffer
/// (null: stops recording). False where this build has no seam to record in.
bool recordWriteBack(MediumCalls* record);

/// Makes every writer past the cache made from now on start `offset` bytes
/// into its file, as if so many had been written before (0: at its first
/// byte again): offsets past 4 GiB without writing 4 GiB. False where this
/// build cannot (Linux: such writes go at the descriptor's own position).
bool startMediumWritesAt(uint64_t offset);

/// In `errnum`, the errno value this platform tells for its own system error
/// `code` (Windows: a Win32 error), `unknown` for one it has none for. False
/// where the system's errors are errno values already.
bool errnoOfSystemError(unsigned long code, int unknown, int& errnum);

/// Does on the calling thread what the user's interrupt does on a thread of
/// its own (POSIX SIGINT, Windows Ctrl+C): the handler set with
/// platform::onInterrupt runs and the process ends with its code, or goes
/// on where the handler says the interrupt comes too late.
void interrupt();

/// Does on the calling thread what a user's logoff does (Windows
/// CTRL_LOGOFF_EVENT) and returns true; false where there is no such event
/// (POSIX). In the services' session (fakeConsole) it is no interrupt.
bool logOff();

/// Records into `journal` from now on, in order, the calls of the platform
/// layer that show nowhere else (null: stops recording): Windows
/// "CreateFileW PATH" and "GetFileAttributesW PATH" (PATH as it reaches the
/// system), "disposition delete" and "disposition keep" (the rebuilt file's
/// mark for deletion at close), "rename",
/// "flush" (the name's), "close" (any descriptor), and
/// "TerminateProcess CODE", the interrupt's end of the process, which is
/// recorded instead of made while recording. False where there are none
/// (POSIX).
bool recordCalls(std::vector<std::wstring>* journal);

/// Makes the Windows layer's attribute query report a reparse point (a
/// link, a junction) for every existing path that ends in `name` (empty:
/// none), as Wine makes none. False where there is no such query (POSIX).
bool fakeReparsePoint(const std::wstring& name);

/// Runs on the calling thread the handler set with platform::onInterrupt,
/// as the user's interrupt does, and returns its code, but the process goes
/// on: what the run's other threads do between the handler and the
/// process's end shows.
int interruptAndGoOn();

using platform::FaultPoint;

/// One planned fault: what the `call`-th call at `point` since the last
/// resetFaults does (0: every call there).
struct Fault {
  FaultPoint point = FaultPoint::open;
  unsigned call = 1;
  /// The errno value the call fails with (for textConversion the platform's
  /// own code; for the provider's calls an NTSTATUS, where a value that is no
  /// failure status fails with STATUS_UNSUCCESSFUL); 0: it does not fail.
  int error = 0;
  /// For read and write: the call moves at most this many bytes.
  size_t byteLimit = SIZE_MAX;
  /// Runs just before the call, for a change made by "someone else" (a file
  /// created, removed, grown); may be empty. What it throws leaves the call.
  std::function<void()> before;
};

/// Plans `fault` in addition to those planned already. False where this
/// build or platform cannot inject at that point; the test should skip then.
bool injectFault(const Fault& fault);

/// Forgets every planned fault, sets every call count to 0 and lifts the
/// call budget.
void resetFaults();

/// The calls seen at `point` since the last reset.
unsigned faultCalls(FaultPoint point);

/// Lets at most `calls` calls (all points together) through from now on;
/// every later call fails with EIO, and callBudgetExceeded tells it. Stops a
/// loop that would otherwise never end.
void setCallBudget(unsigned calls);

/// Whether a call was refused because the budget was spent.
bool callBudgetExceeded();

}  // namespace platform_test_hooks
