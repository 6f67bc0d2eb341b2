// The points where a test build's fault seam can make a system call fail,
// and goAhead, the one question every such call asks it. A build without
// fault injection answers "go ahead" inline, at no cost, and holds no seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/console_window.h"

namespace platform {

/// The kinds of system call a test build can make fail (platform/test_hooks.h).
enum class FaultPoint {
  open,
  read,
  write,
  close,
  fileStatus,      // existence, folder and emptiness tests
  fileSize,        // the file-size query
  folderCreation,  // recursive folder creation
  textConversion,  // narrow to wide text (MultiByteToWideChar)
  // The MD5 provider's calls (CNG's, or their stand-ins); a planned failure
  // returns a failure NTSTATUS.
  providerOpen,      // BCryptOpenAlgorithmProvider
  providerProperty,  // BCryptGetProperty
  hashCreation,      // BCryptCreateHash
  hashData,          // BCryptHashData
  hashFinish,        // BCryptFinishHash
  hashDestruction,   // BCryptDestroyHash
  providerClose,     // BCryptCloseAlgorithmProvider
  freeSpace,         // the free space of a folder's file system
  fileSystemType,    // the type of a folder's file system
  rename,            // naming the rebuilt file without replacing another
  openFileFacts,     // what an open descriptor is (fstat, GetFileType)
  nameStatus,        // whether a name is taken, links not followed (lstat)
  pendingCreation,   // creating the rebuilt file, unnamed or temporarily named
  flush,             // a file's flush to the medium
  writeBack,         // starting the write-back of a block
  cacheDrop,         // dropping a file's cached pages before it is read
  folderFlush,       // a folder's flush to the medium
  sectorSize,        // the sector size of a file's volume, for reads past the cache
  mediumWrites,      // making a file's writes go past the cache, and back
  cacheQuery,        // whether the cache holds a block about to be read, and the read's way
  threadStart,       // a thread of the tool's own started (the block loop, the interrupt watcher)
  pendingRemoval,    // removing a name or folder of the rebuilt file's again (temporary, reserved)
  inputWatch,        // holding a read input against writers (Linux: a read lease, and inotify)
  // New points go above this line.
  count
};

#if FILESPLIT_FAULT_INJECTION
/// Counts one call at `point` and answers it as a test planned: false with
/// errno set when the call is to fail (an errno value; the platform's code
/// for text conversion; an NTSTATUS for the provider's calls); else true,
/// with `count` cut to the most bytes the call may move.
bool goAhead(FaultPoint point, size_t& count);
/// The same for a call that moves no bytes.
bool goAhead(FaultPoint point);
#else
/// Without fault injection the answer is always "go ahead", at no cost.
inline bool goAhead(FaultPoint, size_t&) { return true; }
inline bool goAhead(FaultPoint) { return true; }
#endif

#if FILESPLIT_FAULT_INJECTION
/// Tells a test that records them (platform_test_hooks::recordWriteBack)
/// that the write-back of `length` bytes at `offset` was started.
void recordWriteBack(uint64_t offset, uint64_t length);
#else
inline void recordWriteBack(uint64_t, uint64_t) {}
#endif

#if FILESPLIT_FAULT_INJECTION
/// What a test made the console and the session report
/// (platform_test_hooks::fakeConsole); nothing when the system is to answer.
std::optional<console_window::Facts> fakedConsoleWindow();
/// Counts one key wait on the faked console, which a test's key answers at
/// once; false when no console is faked and the system is to wait.
bool takeFakedKey();
#else
inline std::optional<console_window::Facts> fakedConsoleWindow() { return std::nullopt; }
inline bool takeFakedKey() { return false; }
#endif

}  // namespace platform
