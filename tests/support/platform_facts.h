// What a test expects that differs by platform, told by the platform's side
// of the test support so that the tests themselves stay the same everywhere.
#pragma once

#include <cstdint>
#include <string>

/// Whether the tests run on Windows (natively or under Wine), with its path
/// rules (drive and share prefixes, backslashes), its share modes between
/// processes and its batch interpreter.
bool windowsPlatform();

/// Whether the pieces are written past the cache where the file system
/// takes such writes. Not on Windows: a piece's open shares no access, so
/// the second handle such writes need is refused (ERROR_SHARING_VIOLATION)
/// and they go through the cache. The rebuilt file, which the tool opens
/// itself, goes past the cache on both.
bool piecesPastTheCache();

/// The bytes of the file `path` that the system's cache holds, after its
/// pages were first dropped from it when `drop` is set; -1 where that
/// cannot be told or done (Windows, a file system that keeps no cache of
/// its own, such as tmpfs).
int64_t cachedBytes(const std::wstring& path, bool drop = false);

/// Whether the tests run with the superuser's rights (root on POSIX), which
/// include the blocks a file system keeps back for it.
bool runsAsSuperuser();

/// Leaves `code` as the calling thread's system error (Windows: the
/// runtime's _doserrno and GetLastError), as a runtime call that saw the
/// system fail with it does; nothing where the system's errors are errno
/// values already.
void leaveSystemError(unsigned long code);

/// A file name that no file can have here, so that opening it fails with
/// EINVAL: a lone surrogate where names are bytes in the locale's encoding,
/// a "|" on Windows.
std::wstring invalidFileName();

/// `value` as the filesplit binary shows it when run by runFilesplit with
/// the default options: grouped as the child's locale groups digits.
std::wstring childNumber(uint64_t value);

/// A path the tool put together itself, given here with "/" between its
/// parts, as the tool shows it: with the platform's own separator.
std::wstring shownAsJoined(const std::wstring& path);

/// Sets an extended attribute user.* of the file at `path` (a file
/// manager's tag) when `mapped` is false; else stores its first byte again
/// through a shared mapping, kept until endOtherPrograms, and sets its
/// times back (both, which raises no IN_MODIFY). False where this platform
/// or file system refuses.
bool changeAsOtherProgram(const std::wstring& path, bool mapped);
/// Takes every free descriptor below `number`, so that the next open gets
/// `number` or above, until endOtherPrograms; false where it cannot.
bool takeDescriptorsBelow(int number);
/// Lets go of what the two calls above hold.
void endOtherPrograms();

/// Ends the test as skipped unless it runs on Windows; a reason can follow
/// with <<.
#define SKIP_UNLESS_WINDOWS() \
  if (!windowsPlatform()) GTEST_SKIP() << "Windows only"
