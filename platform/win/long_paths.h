// Paths past MAX_PATH without the system's long-path policy, which is off
// by default: such a path reaches the system in the "\\?\" form, which it
// passes on unparsed, so the tools make that form from the normalized path.
#pragma once

#include <cstddef>
#include <string>

namespace long_paths {

/// The length from which a full path is given in the "\\?\" form: a folder
/// the system creates by a plain path has fewer characters (MAX_PATH less
/// room for an 8.3 name), a file fewer than MAX_PATH.
constexpr size_t kLongFrom = 248;

/// The full path of `path` (GetFullPathNameW: made absolute against the
/// current folder, "." and ".." resolved, "/" turned into "\", a last
/// name's trailing dots and blanks dropped, as the system does itself with a
/// plain path); empty when the system cannot make it.
std::wstring fullPath(const std::wstring& path);

/// `full`, a full path (as GetFullPathNameW makes it), in the "\\?\" form
/// when it has kLongFrom characters or more: "C:\a" gives "\\?\C:\a",
/// "\\server\share\a" gives "\\?\UNC\server\share\a" and "\\.\C:\a" (which
/// the system normalizes as it does a plain path) gives "\\?\C:\a"; a
/// shorter one, and one in the "\\?\" form already, as it is.
std::wstring verbatimForm(const std::wstring& full);

/// `path` as the system is to be given it when the tools open, create or
/// name a file or folder there: verbatimForm of its full path where that is
/// long; a path given in the "\\?\" form, a short one and one
/// that cannot be made full, unchanged.
std::wstring systemPath(const std::wstring& path);

}  // namespace long_paths
