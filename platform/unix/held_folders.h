// The output folders held open for a run (platform::OutputFolder), as the
// POSIX calls that create files by a path find them.
#pragma once

#include <string>

namespace held_folders {

/// Whether `path` names a file directly in the folder `folder`, as the
/// folder's path and a plain name join ("out" or "out/" and "x" give
/// "out/x"; "" and "x" give "x"): its name there in `name`.
bool nameIn(const std::string& folder, const std::string& path, std::string& name);

/// The descriptor of a held folder that `path` names a file directly in
/// (nameIn), with the file's name there in `name`; -1 where it names none.
int find(const std::string& path, std::string& name);

}  // namespace held_folders
