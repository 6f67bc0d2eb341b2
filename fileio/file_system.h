// The file-system queries and the folder creation both tools make, on wide paths.
// Each throws std::filesystem::filesystem_error naming its operation, the
// system's reason and the path when the system cannot answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace file_system {

/// Whether anything (a file, a folder, ...) is at `path`. Operation "exists".
bool exists(const std::wstring& path);

/// Whether anything is at `path` itself, a symbolic link that leads nowhere
/// included. Operation "exists".
bool nameTaken(const std::wstring& path);
/// Whether `path` is a folder. Operation "status".
bool isDirectory(const std::wstring& path);
/// Whether `path` is a regular file (after following links). Operation "status".
bool isFile(const std::wstring& path);
/// The names of the regular files in the folder `path` whose extension is
/// `extension` (".bat"; letters in either case), sorted. Operation
/// "directory_iterator".
std::vector<std::wstring> filesWithExtension(const std::wstring& path,
                                             const std::wstring& extension);
/// Whether `path` is an empty file or folder. Operation "is_empty".
bool isEmpty(const std::wstring& path);
/// The size of the file at `path` in bytes. Operation "file_size".
uint64_t fileSize(const std::wstring& path);
/// Creates the folder `path` with every missing folder above it. When the
/// path itself is something other than a folder, fails with the system's
/// already-exists reason. Operation "create_directories". Returns the
/// folders whose entries changed, for their flush: `path`, then each level
/// above it up to and including the first that existed ("" for the current
/// folder); just `path` when it existed.
std::vector<std::wstring> createFolders(const std::wstring& path);

}  // namespace file_system
