// The platform services around the files both tools write and read, beyond
// what the C runtime's open offers: the output folder held for a run, what
// an open file is, whether a name is taken, and an output that gets its
// final name only once its bytes were verified.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

/// The folder a run writes its outputs into, opened once it was checked or
/// created and held until the run ends, so that every output lands in that
/// very folder together, whatever its path comes to name meanwhile. POSIX:
/// a descriptor of the folder; the outputs are created relative to it (the
/// C runtime's creating opens of a path directly in the folder, and the
/// rebuilt file's naming), and its flush syncs it. A folder renamed then
/// keeps every output; one removed fails the next creation. Windows: a
/// handle that shares no deletion, so that nobody can rename or remove the
/// folder while it is held; creation by path then names it still.
class OutputFolder {
 public:
  /// Opens the folder at `path` ("": the current one). Throws
  /// std::filesystem::filesystem_error (operation "open", the path, the
  /// system's reason) when it cannot.
  explicit OutputFolder(const std::wstring& path);
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  /// The path it was opened by, as given.
  const std::wstring& path() const { return path_; }
  /// Writes its entries through to the medium, as flushFolder does for a
  /// path (Linux fsync of the descriptor held; nothing on Windows). Returns
  /// 0 or an errno value.
  int flush() const;
  /// Where the folder is now, asked of what is held: path() while that
  /// still names it; the absolute path it was moved to (POSIX, where the
  /// system can tell it and that path leads to it); path() again for a
  /// folder no path of this process leads to (its medium detached with
  /// umount -l: where it is once mounted again); nothing once it was
  /// removed. Windows: path(), as the folder cannot move while held.
  std::optional<std::wstring> whereNow() const;
  /// The descriptor (POSIX) or handle (Windows) held, for the platform's
  /// own calls.
  intptr_t held() const { return held_; }

 private:
  std::wstring path_;
  intptr_t held_;
};

/// What an open file is, asked of its descriptor rather than of its name,
/// which may lead elsewhere by now.
struct OpenFileFacts {
  /// A regular file: no folder, pipe, device or socket.
  bool regularFile = false;
  /// Its permission bits (POSIX); 0 where files inherit their folder's
  /// permissions (Windows).
  unsigned permissions = 0;
  /// Its size in bytes, for a regular file.
  uint64_t size = 0;
  /// Which file it is: POSIX device and inode; Windows volume serial number
  /// and file ID.
  uint64_t volume = 0;
  uint64_t fileId = 0;
  /// When its bytes were last written, and when the file last changed in
  /// any way, in the system's own units.
  int64_t modified = 0;
  int64_t changed = 0;
  /// How many writers were seen at the open descriptor (POSIX, an input
  /// held against them); 0 where the open keeps writers out (Windows).
  uint32_t writersSeen = 0;
  /// Whether writersSeen tells every writer (POSIX: a lease or an inotify
  /// watch holds the input), so that the change time, which a new link, a
  /// permission, an attribute or the access time also moves, need not.
  bool writersWatched = false;
};

/// Whether `now` describes the very file `before` did, its bytes not
/// written since: a file rewritten in place, even to the same size and
/// within one tick of its clock, is not. The change time tells a writer
/// only where nothing watches writers.
inline bool unchangedSince(const OpenFileFacts& before, const OpenFileFacts& now) {
  const bool watched = before.writersWatched && now.writersWatched;
  return before.volume == now.volume && before.fileId == now.fileId && before.size == now.size &&
         before.modified == now.modified && (watched || before.changed == now.changed) &&
         before.writersSeen == now.writersSeen;
}

/// The facts of the C runtime's open descriptor `fd`. Returns 0 or an errno
/// value.
int describeOpenFile(int fd, OpenFileFacts& facts);

/// The permission bits of the file at `path` (links followed) in `bits`;
/// 0 where files inherit their folder's permissions (Windows). Returns 0 or
/// an errno value.
int permissionsOf(const std::wstring& path, unsigned& bits);

/// From now on, files this process creates lack every permission bit that
/// `bits` lacks (POSIX: those bits join the umask, as cp keeps a file's
/// privacy). Nothing on Windows, where files inherit their folder's.
void restrictNewFiles(unsigned bits);

/// A number no other running process has, for names of its own.
unsigned long processNumber();

/// Whether anything is at `path` itself, a symbolic link that leads nowhere
/// included. Returns 0 with `taken` set, or an errno value.
int nameTaken(const std::wstring& path, bool& taken);

/// Whether `path` itself is a symbolic link (Windows: any reparse point, a
/// junction too), which an open would follow elsewhere. Returns 0 with
/// `link` set (false where nothing is there), or an errno value.
int isLink(const std::wstring& path, bool& link);

/// A new file being written that has not got its final name yet.
struct PendingFile {
  /// The held folder it is created in, which outlives it.
  const OutputFolder* folder = nullptr;
  /// The C runtime's descriptor, open for writing in binary mode; the
  /// caller owns it and closes it once the file is named or given up.
  int fd = -1;
  /// The name it was created under; empty while it has no name at all
  /// (Linux, O_TMPFILE) and once it got its final one.
  std::wstring temporaryPath;
  /// The folder of its own that holds temporaryPath, where no other user
  /// can take that name over (POSIX); empty where there is none.
  std::wstring temporaryFolder;
  /// What tells the file from any other on its volume (POSIX: device and
  /// inode), so that whatever took its temporary name is never moved.
  uint64_t device = 0;
  uint64_t inode = 0;
  /// Not 0 where the descriptor itself writes past the cache, whole sectors
  /// of this size only (Windows: opened with no buffering, written through):
  /// its writes go through platform::mediumWriter(fd, bypassSector).
  uint32_t bypassSector = 0;
};

/// Creates a new, empty file for writing in the held folder `folder`, with
/// `permissions` (masked by the umask; ignored on Windows, where it
/// inherits): without a name where the file system allows (Linux);
/// else under a temporary name made of `temporaryPath` (a path directly in
/// `folder`, as the folder's path and a name make it):
/// POSIX a folder of its own by that name (mode 0700) holding the file
/// `fileName`, Windows the file itself, kept open with no sharing and
/// marked for deletion from its creation to its naming, so that a process
/// ended outright leaves nothing. Returns
/// 0 or an errno value (EEXIST: something is at `temporaryPath`).
int createPendingFile(const OutputFolder& folder, const std::wstring& temporaryPath,
                      const std::wstring& fileName, unsigned permissions, PendingFile& file);

/// namePendingFile's answer when the temporary name no longer holds the file
/// written: someone else's file is there, and is left there (moved back
/// where it was, if the rename had taken it).
constexpr int kTemporaryNameTakenOver = -1;
/// namePendingFile's answer when the final name, after the rename, turned
/// out to hold some other file than the one written, which could not be
/// moved back.
constexpr int kNameHoldsAnotherFile = -2;

/// Gives the still open `file` the name `finalPath` (a path directly in the
/// folder it was created in) in that folder, never replacing anything
/// there. Where the file system can
/// neither rename without replacing nor link (FAT, exFAT under FUSE), the
/// final name is first taken by an empty file created new, and the file is
/// renamed onto it only while that is still the empty file this call made.
/// Returns 0 (temporaryPath cleared), EEXIST when something is at
/// `finalPath`, kTemporaryNameTakenOver, kNameHoldsAnotherFile, or another
/// errno value.
int namePendingFile(PendingFile& file, const std::wstring& finalPath);

/// Writes the name `file` was just given (namePendingFile) through to the
/// medium with the file: Windows flushes the handle that renamed it (FAT
/// writes a file's entry, NTFS the log of its rename, at the file's
/// flush); nothing on POSIX, where the folder's flush that follows does it.
/// Returns 0 or an errno value: a failure is a failed write of the file,
/// which keeps its name.
int flushName(const PendingFile& file);

/// Removes what `file` leaves behind once it is named or given up: the file
/// itself while it has no final name (only while its temporary name still
/// holds it: never someone else's), then its temporary folder. The
/// descriptor stays open for its owner to close, but no longer holds the
/// file (POSIX: the null device; Windows: the file goes at its close).
/// Callable from another thread while the descriptor is in use. Returns 0
/// (temporaryPath and temporaryFolder cleared) or an errno value, the
/// paths left as they stand.
int releasePendingFile(PendingFile& file);

}  // namespace platform
