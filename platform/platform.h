// The main header through which core code reaches the operating system;
// the others are output_file.h (the files the tools write), threads.h,
// to_wide.h, utf8.h, ascii_letters.h and windows_names.h. What a platform
// must provide for each is platform/README.md.
//
// It brings in the Windows-style C runtime, CNG and code-page calls the core
// is written against (the real ones on Windows, our stand-ins elsewhere; the
// build puts the right platform_impl.h on the include path) and declares the
// few services whose implementation differs per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <locale>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/fault_point.h"
#include "platform_impl.h"

namespace platform {

/// Sets up the process before anything is opened, read or printed: a
/// standard stream the caller closed (0, 1 or 2) is opened on the null
/// device, so that no file the tools open gets its descriptor and the
/// console's output with it; where even that fails the process ends at once
/// (EXIT_FAILURE), before it opens a file. Then the character handling;
/// what of it cannot be set up falls back to a working default.
void initProcess();

/// What the function given to onInterrupt returns for an interrupt that
/// comes too late to matter: the process goes on as if none had come.
constexpr int kInterruptTooLate = -1;

/// Has `onInterrupt` run on a thread of its own when the user interrupts
/// the process (SIGINT, SIGTERM, SIGHUP; Windows: Ctrl+C, Ctrl+Break, the
/// console window closed), then ends the process at once with the exit code
/// it returns, whatever the other threads are doing, unless that is
/// kInterruptTooLate. A signal the process started with ignored (nohup,
/// trap '' INT; on Windows a Ctrl+C ignored from the start, which the
/// system then hands to no routine) stays ignored. Replaces the function
/// set before; none (an empty one): the system's own handling, each signal
/// as the process started with it. POSIX: the first function starts a
/// watcher thread (throws ThreadStartFailure when it cannot), none stops it.
/// Windows: a logoff in session 0 (the services') is another user's and no
/// interrupt; the process ends by TerminateProcess, no DLL's detach code
/// run; and where `onInterrupt` has not answered within 3 seconds (it
/// waits on a lock the run holds across a slow call), the process ends
/// with `unanswered`, unless that is kInterruptTooLate.
void onInterrupt(std::function<int()> onInterrupt, int unanswered = kInterruptTooLate);

/// The console: a wide stream writing to standard output in the console's
/// encoding. Characters the console cannot show are replaced, never dropped
/// together with the rest of the output.
std::wostream& console();

/// The same for standard error: where filejoin's failure lines go, so that
/// a caller reading standard error gets them apart from the progress.
std::wostream& errorConsole();

/// A standard stream of the process.
enum class StandardStream { output, error };

/// Writes `line` (ASCII, at most 200 characters) and the console's line end
/// to `stream` with the system's own write, allocating nothing and past the
/// console streams: the last resort where memory is short even for a line.
/// A write that fails is left so.
void writeFixedLine(StandardStream stream, const char* line) noexcept;

/// `text` as the console shows text from outside (arguments, names, script
/// lines, library texts): each control character (C0, DEL, C1), which a
/// terminal would take as a command, written as an escape ("\t", "\n",
/// "\r", "\x1b" for the rest of C0 and DEL, "\u009b" for C1); all else
/// unchanged. With `keepLineEnds`, LF stays: the console's own line ends.
std::wstring escapeControls(const std::wstring& text, bool keepLineEnds = false);

/// The user's default locale, for digit grouping. Falls back to the classic
/// locale when the user's cannot be had; never throws.
std::locale userLocale();

/// Whether the console window is this process's alone, so that it closes
/// when the process ends, and someone can see it: the system opened it for
/// this process (a file dropped on the .exe, a double click, a shortcut), no
/// other process is attached to it, standard input and output are both that
/// window, it is shown, and the process is not in session 0
/// (console_window::waitsForKey). False in a command prompt or a batch
/// file, with either stream redirected, for a hidden console (a scheduled
/// task, a program started without a window), in a service's session, and
/// on POSIX systems, whose terminals outlive their programs.
bool consoleWindowIsOwn();

/// Waits until a key is pressed in the console window, keys pressed before
/// the call not counted. Returns at once where no key can be read.
void waitForKey();

/// The arguments of filejoin's usage example: a script and an output
/// folder as paths are written on this platform.
extern const wchar_t kJoinUsageExample[];

/// What refused the last open of a file by the C runtime on the calling
/// thread beyond what its errno tells (the runtime says EACCES for a file
/// another program holds, ENOENT for a path too long), for filejoin's own
/// words. Windows: a sharing or lock violation is inUse, a path or name too
/// long pathTooLong; POSIX: an input that another opener holds open for
/// writing (a read lease that cannot be taken) is inUse, else none.
enum class OpenRefusal { none, inUse, pathTooLong };
OpenRefusal lastOpenRefusal();

/// The system's description of an errno value, as wide text.
std::wstring systemErrorText(int errnum);

/// A wide path as the native path the file-system library works with; on
/// POSIX systems exactly the bytes the text was decoded from (widePath).
/// Throws std::filesystem::filesystem_error (operation "path") when the text
/// names no file in the system's encoding for file names.
std::filesystem::path nativePath(const std::wstring& widePath);

/// A wide path as the file-system library queries and creates it: nativePath,
/// except that on Windows a drive-relative path ("D:", "D:out") is made
/// absolute, since mingw's runtime cannot stat a bare drive ("D:"). Throws
/// as nativePath does.
std::filesystem::path queryPath(const std::wstring& widePath);

/// The inverse of nativePath. On POSIX systems a byte that does not decode
/// becomes U+DC00 + the byte, which nativePath turns back into that byte.
std::wstring widePath(const std::filesystem::path& native);

/// The library's sentence for a file-system failure (what()) as wide text,
/// its paths shown as they were given. Never throws.
std::wstring filesystemErrorText(const std::filesystem::filesystem_error& error);

/// What a file-system query finds at a path, symbolic links followed.
enum class FileType { notFound, file, folder, other };

// The file-system queries and the folder creation, each reporting failure in
// `error` as the standard file-system library does (an errno value in the
// generic category), so that its filesystem_error tells the same reason on
// every platform. On UNIX systems they are the library's own; on Windows
// they are Win32 calls, since the library's rest on the C runtime's stat.
// Each asks the fault seam first (fileType, isEmpty and fileNamesIn at
// FaultPoint::fileStatus, fileSize at fileSize, createFolders at
// folderCreation) and fails with the errno it planned.

/// The type of what is at `native`. Nothing there, or a folder missing on
/// the way, is notFound without an error; any other failure sets `error`.
FileType fileType(const std::filesystem::path& native, std::error_code& error);

/// fileType, not asked of the fault seam: for the levels above a folder to
/// be created, which counts a level it cannot query as existing, so that a
/// failure there changes nothing the creation does not tell again.
FileType fileTypeQuietly(const std::filesystem::path& native, std::error_code& error);

/// Whether the file at `native` has no bytes, or the folder there no entry.
/// Nothing there is a failure (ENOENT).
bool isEmpty(const std::filesystem::path& native, std::error_code& error);

/// The size in bytes of the file at `native`. A folder fails with EISDIR.
uint64_t fileSize(const std::filesystem::path& native, std::error_code& error);

/// The names of the files (links followed) in the folder `native`, in no
/// particular order; folders and other entries are left out.
std::vector<std::wstring> fileNamesIn(const std::filesystem::path& native, std::error_code& error);

/// Creates the folder `native` and every missing folder above it (never a
/// drive, share or other root). Nothing to do when it is a folder already; a
/// level that is something other than a folder fails with ENOTDIR.
void createFolders(const std::filesystem::path& native, std::error_code& error);

/// The bytes the calling user may still write on the file system that holds
/// the folder `folder` (quotas and reserves counted). Nothing where it cannot
/// tell: the query failed, or the file system reports a size of 0, as some
/// network shares do.
std::optional<uint64_t> freeSpace(const std::wstring& folder);

/// Whether the file system that holds the folder `folder` is known to be FAT
/// (FAT12, FAT16 or FAT32), which holds no file larger than 4,294,967,295
/// bytes. False for every other file system, exFAT included, and where the
/// query fails.
bool onFatFileSystem(const std::wstring& folder);

/// The largest file this process may write: POSIX's RLIMIT_FSIZE (`ulimit
/// -f`), past which a write fails with EFBIG. Nothing where no such limit is
/// set (Windows has none).
std::optional<uint64_t> largestFileAllowed();

/// Whether `name` is what this platform can hold as a plain file in one
/// folder, so that a file given that name is found under it again. POSIX:
/// not empty, not "." or "..", no "/" and no NUL; any other bytes are a
/// name ("x:y.iso" and "a\b" included). Windows: not empty, no control
/// character, none of <>:"/\|?*, no trailing dot or blank, and no device
/// name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM or LPT with a digit or a
/// superscript 1, 2 or 3), whatever its case and extension.
bool isFileName(const std::wstring& name);

/// The name a file or folder created by the plain path ending in `name`
/// gets on this system. Windows drops the trailing dots and blanks of a
/// path's last name ("Holiday " is created as "Holiday") but not of an
/// inner one, so a path through the folder must use the name it got; a
/// name of dots and blanks alone stays as it is. POSIX: `name` as it is.
std::wstring nameAsCreated(const std::wstring& name);

// Getting written bytes onto the medium, and reading what it holds. Each
// returns 0 or an errno value; a benchmark build without flushing
// (FILESPLIT_NO_FLUSH) does none of it and returns 0.

/// Writes the data of the open descriptor `fd` (and what is needed to read
/// it back) through every cache to the medium, and waits for it: Linux
/// fdatasync, Windows FlushFileBuffers, which also reports a delayed write
/// that failed.
int flushToMedium(int fd);

/// Starts writing `length` bytes at `offset` of `fd` to the medium, and
/// waits until the medium holds what was written a few MiB before them (Linux
/// sync_file_range), so that a slow medium slows the writer as it goes, not
/// all at the flush. Nothing on Windows, which has no such call; there a
/// removable drive is written through by default.
/// Returns 0 or an errno value. A failure is a failed write: the wait takes
/// the file's write error with it, and the flush after would not see it.
int startWriteBack(int fd, uint64_t offset, uint64_t length);

/// The alignment of the buffers that reads from the medium are given: a
/// multiple of every sector size those reads accept.
constexpr size_t kMediumAlignment = 4096;

/// Reads of one open file that come from the medium, past the system cache,
/// through a handle of their own that starts at the file's beginning.
class MediumReader {
 public:
  virtual ~MediumReader() = default;
  /// As the runtime's _read: up to `count` bytes at the reader's position
  /// into `buffer`, which starts at a multiple of kMediumAlignment and holds
  /// the buffer size given to readFromMedium; the count read, 0 at the end,
  /// -1 with errno set. A read after one that returned less than a whole
  /// number of sectors (the file's end) reads nothing more.
  virtual int read(void* buffer, uint32_t count) = 0;
  /// True at or past the end of the file, and when the query fails.
  virtual bool eof() = 0;
};

/// readFromMedium's answer where the file's reads cannot be made to come
/// from the medium: its pages stay in the cache.
constexpr int kPagesStayCached = -1;

/// For a file just opened, about to be read: makes the reads that follow
/// come from the medium, past the cache and past any page another process
/// maps. `reader` then reads in whole sectors into buffers of `bufferSize`
/// bytes: Linux through the descriptor itself, O_DIRECT set on it; Windows
/// through a handle of its own opened with no buffering. Where the file
/// system refuses (EINVAL), Linux writes the file's pages back and drops
/// them from the cache (fdatasync, then posix_fadvise DONTNEED), and Windows
/// reads through the cache, `reader` left null either way; so too where the
/// volume's sector size cannot be told or does not divide both
/// kMediumAlignment and `bufferSize`. Linux trusts O_DIRECT only where the
/// file system says it bypasses the cache for this file (statx, Linux 6.1),
/// and else drops the pages; where pages stay cached after that (another
/// process maps them), the reads could come from them: kPagesStayCached.
/// Returns 0, an errno value or kPagesStayCached.
int readFromMedium(int fd, uint32_t bufferSize, std::unique_ptr<MediumReader>& reader);

/// For a file just opened, about to be read once, front to back: makes each
/// read that follows come from the cache where it holds every page the read
/// asks, and from the medium past the cache where it does not, so that a
/// file not in the cache fills none of it. `reader` then reads as for
/// readFromMedium. Linux: the cache asked (cachestat) before each read,
/// O_DIRECT set and cleared on the descriptor. Where the query or reads past
/// the cache cannot be had (before Linux 6.5, a refusing file system, and
/// on Windows), `reader` stays null and the reads go through the cache.
void readMediumWhereUncached(int fd, uint32_t bufferSize, std::unique_ptr<MediumReader>& reader);

/// Writes of one open file that go to the medium past the system cache,
/// from the file's start: each of whole sectors, from a buffer aligned to
/// them, at an offset that is a multiple of them.
class MediumWriter {
 public:
  virtual ~MediumWriter() = default;
  /// Writes all `count` bytes of `buffer` after those this writer wrote
  /// before; `buffer` starts at a multiple of kMediumAlignment and `count` is
  /// one. Returns `count`, or -1 with errno set (part may have been written).
  virtual int write(const void* buffer, uint32_t count) = 0;
  /// Writes the file's last `count` bytes, fewer than a sector, after those
  /// written before, and ends the writes. `buffer` starts at a multiple of
  /// kMediumAlignment and holds that many bytes, which the writer may change
  /// past `count`. Returns `count`, or -1 with errno set.
  virtual int writeLast(unsigned char* buffer, uint32_t count) = 0;
};

/// For a file just created, before anything is written to it: a writer past
/// the cache to the file open as `fd`. `bypassSector` is not 0 where the
/// descriptor's own handle was opened past the cache already, on a volume
/// of sectors of that size (Windows' rebuilt file, PendingFile): the writer
/// writes through it, the last bytes as a whole sector with the file cut
/// back after them, and is never refused. Else, Linux: O_DIRECT set on the
/// descriptor itself (fcntl), so that its open stays as it was, and cleared
/// for the last bytes; Windows: none, as the specified opens share no
/// access with a second handle. Null where the file system refuses such
/// writes (tmpfs, some FUSE file systems), and in a build that does not
/// flush: the descriptor's ordinary writes serve then, as before.
std::unique_ptr<MediumWriter> mediumWriter(int fd, uint32_t bypassSector);

/// Writes the entries of the folder `folder` ("" is the current one)
/// through to the medium, so that files created in it are found after a
/// power cut: Linux fsync on the folder. Nothing on Windows, whose file
/// systems log their entries themselves.
int flushFolder(const std::wstring& folder);

}  // namespace platform
