// The Win32 calls of the Windows layer that take a path, each taking a
// long_paths::SystemPath: a path reaches the system only in the form the
// long-path conversion made. Including this header makes the raw calls
// unknown names, so a source that includes it cannot hand one a plain path.
// Not wrapped, since their paths are no call's input as they are: the
// conversion's own GetFullPathNameW (text only, with no length limit), and
// LoadLibraryW's "user32.dll", a module's name the loader looks up. The
// runtime's _wsopen_s takes the core's names; win_crt::wsopen_s converts
// them (platform_impl.h).
#pragma once

#include "long_paths.h"
#include "platform/platform.h"

namespace path_calls {

using long_paths::SystemPath;

/// CreateFileW of `path` (no security attributes, no template).
HANDLE createFile(const SystemPath& path, DWORD access, DWORD sharing, DWORD disposition,
                  DWORD flags);
/// GetFileAttributesW of `path`: of the name itself, a link not followed.
DWORD attributes(const SystemPath& path);
/// GetFileAttributesExW of `path` (GetFileExInfoStandard) into `data`.
bool attributeData(const SystemPath& path, WIN32_FILE_ATTRIBUTE_DATA& data);
/// FindFirstFileExW of `pattern` (basic entries, names matched), its first
/// entry in `entry`.
HANDLE findFirst(const SystemPath& pattern, WIN32_FIND_DATAW& entry);
/// CreateDirectoryW of `path` (no security attributes).
bool createDirectory(const SystemPath& path);
/// DeleteFileW of `path`.
bool deleteFile(const SystemPath& path);
/// Renames the file open as `handle` to `target` (FileRenameInfo), nothing
/// replaced; the target in the system's own (NT) form, which that call takes.
bool renameTo(HANDLE handle, const SystemPath& target);
/// GetDiskFreeSpaceExW of the folder `folder`: the bytes this user may
/// write there and the volume's size.
bool diskFreeSpace(const SystemPath& folder, ULARGE_INTEGER& available, ULARGE_INTEGER& total);
/// GetDiskFreeSpaceW of the volume root `root`: its logical sector size.
bool bytesPerSector(const SystemPath& root, DWORD& bytes);
/// GetVolumeInformationW of the volume root `root`: its file system's name
/// into `name`, of `size` characters.
bool fileSystemName(const SystemPath& root, wchar_t* name, DWORD size);

#if FILESPLIT_FAULT_INJECTION
/// Has `attributes` add FILE_ATTRIBUTE_REPARSE_POINT for a path ending in
/// `name` (empty: for none); platform_test_hooks::fakeReparsePoint.
void fakeReparsePoint(const std::wstring& name);
#endif

}  // namespace path_calls

// The raw calls, for path_calls.cpp and long_paths.cpp alone. Where a test
// build sends a volume query to the fault seam (platform_impl.h), the
// release build, which the test command also builds, still catches it.
#define CreateFileW CreateFileW_takes_a_SystemPath_through_path_calls
#define GetFileAttributesW GetFileAttributesW_takes_a_SystemPath_through_path_calls
#define GetFileAttributesExW GetFileAttributesExW_takes_a_SystemPath_through_path_calls
#define FindFirstFileW FindFirstFileW_takes_a_SystemPath_through_path_calls
#define FindFirstFileExW FindFirstFileExW_takes_a_SystemPath_through_path_calls
#define CreateDirectoryW CreateDirectoryW_takes_a_SystemPath_through_path_calls
#define DeleteFileW DeleteFileW_takes_a_SystemPath_through_path_calls
#define RemoveDirectoryW RemoveDirectoryW_takes_a_SystemPath_through_path_calls
#define MoveFileW MoveFileW_takes_a_SystemPath_through_path_calls
#define MoveFileExW MoveFileExW_takes_a_SystemPath_through_path_calls
#define GetDiskFreeSpaceW GetDiskFreeSpaceW_takes_a_SystemPath_through_path_calls
#define GetVolumePathNameW GetVolumePathNameW_gives_a_SystemPath_through_long_paths
#define GetFinalPathNameByHandleW GetFinalPathNameByHandleW_gives_a_SystemPath_through_long_paths
#ifndef GetDiskFreeSpaceExW
#define GetDiskFreeSpaceExW GetDiskFreeSpaceExW_takes_a_SystemPath_through_path_calls
#endif
#ifndef GetVolumeInformationW
#define GetVolumeInformationW GetVolumeInformationW_takes_a_SystemPath_through_path_calls
#endif
