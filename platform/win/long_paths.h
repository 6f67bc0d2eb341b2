// Paths past MAX_PATH without the system's long-path policy, which is off
// by default: such a path reaches the system in the "\\?\" form, which it
// passes on unparsed, so the tools make that form from the normalized path.
// The form is a type, SystemPath, that only the conversions here make, and
// every call that takes a path takes one (path_calls.h): a call cannot be
// handed a path the conversion has not seen.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace long_paths {

/// The length from which a full path is given in the "\\?\" form: a folder
/// the system creates by a plain path has fewer characters (MAX_PATH less
/// room for an 8.3 name), a file fewer than MAX_PATH.
constexpr size_t kLongFrom = 248;

/// The full path of `path` (GetFullPathNameW: made absolute against the
/// current folder, "." and ".." resolved, "/" turned into "\", a last
/// name's trailing dots and blanks dropped, as the system does itself with a
/// plain path); empty when the system cannot make it. A string: no call
/// takes it as it is.
std::wstring fullPath(const std::wstring& path);

class SystemPath;

/// `path` as the system is to be given it when the tools open, create,
/// query or name a file or folder there: its full path in the "\\?\" form
/// where that has kLongFrom characters or more ("C:\a" gives "\\?\C:\a",
/// "\\server\share\a" "\\?\UNC\server\share\a", "\\.\C:\a" "\\?\C:\a"); a
/// path given in the "\\?\" form, a short one and one that cannot be made
/// full, unchanged.
SystemPath systemPath(const std::wstring& path);

/// The full path of `path`, in the "\\?\" form where it is long (as
/// systemPath), for the volume queries, which take a relative path for one
/// on the boot volume. Nothing when the system cannot make it full.
std::optional<SystemPath> fullSystemPath(const std::wstring& path);

/// The root of the volume `path` is on (GetVolumePathNameW), as the system
/// gives it: with a trailing backslash, in the "\\?\" form where `path` has
/// it. Nothing when the system cannot tell.
std::optional<SystemPath> volumeRoot(const SystemPath& path);

/// The path of the file open as `handle` (GetFinalPathNameByHandleW), as
/// the system gives it: in the "\\?\" form. Nothing when it cannot tell.
std::optional<SystemPath> finalPath(HANDLE handle);

/// A path in the form the system's calls take whatever its length (LLVM's
/// sys::windows::widenPath, made a type): only the conversions above make
/// one, so a call that takes it cannot be handed a plain path.
class SystemPath {
 public:
  /// For the call.
  const wchar_t* c_str() const { return path_.c_str(); }
  /// For a record or a rename's own form.
  const std::wstring& text() const { return path_; }
  /// This folder's path ending with a separator, as a share's root must be
  /// given. It and everyEntry add at most two characters, which a path left
  /// short has room for below MAX_PATH.
  SystemPath asFolder() const;
  /// The search pattern for every entry of this folder (FindFirstFileExW).
  SystemPath everyEntry() const { return SystemPath(asFolder().path_ + L"*"); }

 private:
  explicit SystemPath(std::wstring path) : path_(std::move(path)) {}

  friend SystemPath systemPath(const std::wstring& path);
  friend std::optional<SystemPath> fullSystemPath(const std::wstring& path);
  friend std::optional<SystemPath> volumeRoot(const SystemPath& path);
  friend std::optional<SystemPath> finalPath(HANDLE handle);

  std::wstring path_;
};

}  // namespace long_paths
