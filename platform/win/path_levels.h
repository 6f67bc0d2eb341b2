// Where a Windows path's root ends and which folder levels lie below it:
// the rules folder creation walks by. Text only, no system call, so that
// the rules are tested on every platform.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace windows_paths {

/// The length of the root of `path`, which is never created: "\\?\C:\",
/// "\\?\UNC\server\share\", "\\?\Volume{...}\" (and the same after "\\.\"),
/// "\\server\share\", "C:\", "C:", "\", or 0 for a relative path. The
/// separator right after a root belongs to it. After "\\?\" only a backslash
/// separates, as the system passes such a path on unparsed.
size_t rootLength(const std::wstring& path);

/// The folders on `path` below its root, top first, each as the text of
/// `path` up to its end: "C:\a\b\" gives "C:\a" and "C:\a\b". Levels named
/// "." or ".." are left out (the system resolves them by the text); so is a
/// trailing separator.
std::vector<std::wstring> folderLevels(const std::wstring& path);

}  // namespace windows_paths
