#include "path_calls.h"

#include <cstring>
#include <vector>

#include "call_journal.h"

#undef CreateFileW
#undef GetFileAttributesW
#undef GetFileAttributesExW
#undef FindFirstFileExW
#undef CreateDirectoryW
#undef DeleteFileW
#undef GetDiskFreeSpaceW
#if !FILESPLIT_FAULT_INJECTION  // else the fault seam's, as platform_impl.h has them
#undef GetDiskFreeSpaceExW
#undef GetVolumeInformationW
#endif

namespace {

// `path`, a SystemPath, in the system's own (NT) form, which FileRenameInfo
// takes: a bare name would be read against the current folder by some
// implementations (Wine's) rather than the file's own. "\\.\" and "\\?\"
// both lead to the system's namespace ("\??\"); only "\\server" is a share.
std::wstring ntForm(const long_paths::SystemPath& path) {
  std::wstring full = long_paths::fullPath(path.text());  // "\\?\" kept as it is
  if (full.empty()) full = path.text();
  const bool device = full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0;
  if (device) return L"\\??\\" + full.substr(4);
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\??\\UNC\\" + full.substr(2);
  return L"\\??\\" + full;
}

}  // namespace

namespace path_calls {

HANDLE createFile(const SystemPath& path, DWORD access, DWORD sharing, DWORD disposition,
                  DWORD flags) {
  call_journal::note(L"CreateFileW " + path.text());
  return CreateFileW(path.c_str(), access, sharing, nullptr, disposition, flags, nullptr);
}

#if FILESPLIT_FAULT_INJECTION
namespace {
std::wstring fakedReparsePoint;  // a test's, set while no run is going
}

void fakeReparsePoint(const std::wstring& name) { fakedReparsePoint = name; }
#endif

DWORD attributes(const SystemPath& path) {
  call_journal::note(L"GetFileAttributesW " + path.text());
  const DWORD found = GetFileAttributesW(path.c_str());
#if FILESPLIT_FAULT_INJECTION
  const std::wstring& text = path.text();
  const std::wstring& name = fakedReparsePoint;
  if (found != INVALID_FILE_ATTRIBUTES && !name.empty() && text.size() >= name.size() &&
      text.compare(text.size() - name.size(), name.size(), name) == 0)
    return found | FILE_ATTRIBUTE_REPARSE_POINT;
#endif
  return found;
}

bool attributeData(const SystemPath& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != 0;
}

HANDLE findFirst(const SystemPath& pattern, WIN32_FIND_DATAW& entry) {
  return FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                          0);
}

bool createDirectory(const SystemPath& path) {
  return CreateDirectoryW(path.c_str(), nullptr) != 0;
}

bool deleteFile(const SystemPath& path) { return DeleteFileW(path.c_str()) != 0; }

bool renameTo(HANDLE handle, const SystemPath& target) {
  const std::wstring name = ntForm(target);
  const size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->FileName, name.data(), nameBytes);
  return SetFileInformationByHandle(handle, FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size())) != 0;
}

bool diskFreeSpace(const SystemPath& folder, ULARGE_INTEGER& available, ULARGE_INTEGER& total) {
  return GetDiskFreeSpaceExW(folder.c_str(), &available, &total, nullptr) != 0;
}

bool bytesPerSector(const SystemPath& root, DWORD& bytes) {
  DWORD sectorsPerCluster = 0;
  DWORD freeClusters = 0;
  DWORD clusters = 0;
  return GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytes, &freeClusters, &clusters) != 0;
}

bool fileSystemName(const SystemPath& root, wchar_t* name, DWORD size) {
  return GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, size) !=
         0;
}

}  // namespace path_calls
