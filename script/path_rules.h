// Decomposition of wide paths by the platform's path rules (on Windows,
// backslash and slash as separators and drive or share prefixes; elsewhere
// the host's), as the split names its outputs. No function makes a path
// absolute or normalises it.
#pragma once

#include <string>

namespace path_rules {

/// What follows the last separator; never a root name. "" for "dir/".
std::wstring fileName(const std::wstring& path);
/// The file name without its extension (".profile" keeps its dot).
std::wstring stem(const std::wstring& path);
/// Everything up to and including the last separator; "" for a bare name.
std::wstring removeFileName(const std::wstring& path);
/// `folder` and `name` with one separator between, none added when `folder`
/// is empty, ends with a separator or is a drive prefix alone.
std::wstring join(const std::wstring& folder, const std::wstring& name);
/// The default output folder for the input `path`: a folder beside it,
/// named after its stem as the system names a folder created so
/// (platform::nameAsCreated: on Windows "Holiday .mp4" gives "Holiday",
/// the folder Windows creates for "Holiday "), so that the outputs' paths
/// name the folder that is there.
std::wstring folderBeside(const std::wstring& path);
/// `path` with its extension replaced by a dot and `extension`.
std::wstring replaceExtension(const std::wstring& path, const std::wstring& extension);
/// Whether the file names `a` and `b` name one file on Windows, where case
/// does not tell names apart and trailing dots and blanks are dropped from a
/// name ("X.BAT " is x.bat there), on both builds, since the outputs may be
/// carried to Windows. Case is folded for ASCII letters only: enough for
/// names that differ in an ASCII extension, as the outputs' names do.
bool sameWindowsName(const std::wstring& a, const std::wstring& b);

}  // namespace path_rules
