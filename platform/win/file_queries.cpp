// The file-system queries and the folder creation on Windows, on Win32
// directly. The standard library's rest on the C runtime's stat, which the
// system's msvcrt.dll builds on FindFirstFile: there a "\\?\" path and a
// share root are not found, and a symbolic link is described instead of
// its target. Each asks the fault seam first, as platform.h says. Failures carry the errno value
// that runtime gives for the Win32 error, so that the texts stay those of the library.
#include <vector>

#include "long_paths.h"
#include "path_calls.h"
#include "path_levels.h"
#include "platform/platform.h"
#include "platform/seam_calls.h"
#include "win32_errno.h"

namespace fs = std::filesystem;

namespace {

std::error_code errorOf(DWORD code) {
  return std::error_code(win32_errno::errnoOf(code, EINVAL), std::generic_category());
}

// Whether a failed query's code says that nothing is at the path. A name the
// system cannot hold names nothing either, nor does a share that is not
// there (Wine tells that with ERROR_BAD_DEV_TYPE).
bool namesNothing(DWORD code) {
  return win32_errno::errnoOf(code, EINVAL) == ENOENT || code == ERROR_INVALID_NAME ||
         code == ERROR_DIRECTORY || code == ERROR_BAD_DEV_TYPE;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class Search {
 public:
  Search(const long_paths::SystemPath& pattern, WIN32_FIND_DATAW& entry)
      : handle_(path_calls::findFirst(pattern, entry)) {}
  ~Search() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool next(WIN32_FIND_DATAW& entry) { return FindNextFileW(handle_, &entry) != 0; }

 private:
  HANDLE handle_;
};

// The file or folder at `path` (what a link leads to), opened for its
// attributes only, so that no other opener's sharing stands in the way.
HANDLE openForAttributes(const std::wstring& path) {
  return path_calls::createFile(long_paths::systemPath(path), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
}

platform::FileType failedQuery(DWORD code, std::error_code& error) {
  if (!namesNothing(code)) error = errorOf(code);
  return platform::FileType::notFound;
}

platform::FileType typeOf(const std::wstring& path, std::error_code& error) {
  error.clear();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!path_calls::attributeData(long_paths::systemPath(path), data))
    return failedQuery(GetLastError(), error);
  DWORD attributes = data.dwFileAttributes;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A link, or another reparse point: what it leads to counts.
    const Handle target(openForAttributes(path));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!target || !GetFileInformationByHandle(target.get(), &info))
      return failedQuery(GetLastError(), error);
    attributes = info.dwFileAttributes;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return platform::FileType::folder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return platform::FileType::other;
  return platform::FileType::file;
}

bool endsWithSeparator(const std::wstring& path) {
  return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

// Each name in the folder `path` but "." and "..", through `visit(name)`,
// which returns false to stop the search. False with `error` set when the
// folder cannot be read; an empty drive root is no failure.
template <typename Visit>
bool eachEntry(const std::wstring& path, std::error_code& error, Visit visit) {
  WIN32_FIND_DATAW entry{};
  Search search(long_paths::systemPath(path).everyEntry(), entry);
  if (!search) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return true;  // a drive's root has no "." or ".."
    error = errorOf(code);
    return false;
  }
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L".." && !visit(name)) return true;
  } while (search.next(entry));
  const DWORD code = GetLastError();
  if (code == ERROR_NO_MORE_FILES) return true;
  error = errorOf(code);
  return false;
}

// The size in bytes of the file at `path`, as platform::fileSize.
uint64_t sizeOf(const std::wstring& path, std::error_code& error) {
  error.clear();
  const Handle file(openForAttributes(path));
  BY_HANDLE_FILE_INFORMATION info{};
  LARGE_INTEGER size{};
  constexpr uint64_t kFailed = static_cast<uint64_t>(-1);
  if (!file || !GetFileInformationByHandle(file.get(), &info)) {
    error = errorOf(GetLastError());
    return kFailed;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = std::make_error_code(std::errc::is_a_directory);
    return kFailed;
  }
  if (!GetFileSizeEx(file.get(), &size)) {
    error = errorOf(GetLastError());
    return kFailed;
  }
  return static_cast<uint64_t>(size.QuadPart);
}

}  // namespace

namespace platform {

std::vector<std::wstring> fileNamesIn(const fs::path& native, std::error_code& error) {
  std::vector<std::wstring> names;
  if (!seam_calls::queryGoesAhead(FaultPoint::fileStatus, error)) return names;
  const std::wstring& folder = native.native();
  eachEntry(folder, error, [&](const std::wstring& name) {
    std::error_code typeError;
    const std::wstring path = (endsWithSeparator(folder) ? folder : folder + L"\\") + name;
    if (typeOf(path, typeError) == FileType::file && !typeError) names.push_back(name);
    return true;
  });
  return names;
}

FileType fileType(const fs::path& native, std::error_code& error) {
  if (!seam_calls::queryGoesAhead(FaultPoint::fileStatus, error)) return FileType::notFound;
  return typeOf(native.native(), error);
}

FileType fileTypeQuietly(const fs::path& native, std::error_code& error) {
  return typeOf(native.native(), error);
}

uint64_t fileSize(const fs::path& native, std::error_code& error) {
  if (!seam_calls::queryGoesAhead(FaultPoint::fileSize, error)) return static_cast<uint64_t>(-1);
  return sizeOf(native.native(), error);
}

bool isEmpty(const fs::path& native, std::error_code& error) {
  if (!seam_calls::queryGoesAhead(FaultPoint::fileStatus, error)) return false;
  const FileType type = typeOf(native.native(), error);
  if (error) return false;
  if (type == FileType::notFound) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return false;
  }
  if (type == FileType::folder) {
    bool empty = true;
    eachEntry(native.native(), error, [&](const std::wstring&) { return empty = false; });
    return empty && !error;
  }
  const uint64_t size = sizeOf(native.native(), error);
  return !error && size == 0;
}

void createFolders(const fs::path& native, std::error_code& error) {
  if (!seam_calls::queryGoesAhead(FaultPoint::folderCreation, error)) return;
  const std::wstring& path = native.native();
  if (path.empty()) {
    error = std::make_error_code(std::errc::invalid_argument);
    return;
  }
  const FileType type = typeOf(path, error);
  if (error || type == FileType::folder) return;
  if (type != FileType::notFound) {
    error = std::make_error_code(std::errc::not_a_directory);
    return;
  }
  const std::vector<std::wstring> levels = windows_paths::folderLevels(path);
  if (levels.empty()) {  // a root that is not there, which no one creates
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return;
  }
  // Up from the level above the path to the first one that exists; the
  // levels below it are created, top first.
  size_t missingFrom = levels.size() - 1;
  while (missingFrom > 0) {
    const FileType above = typeOf(levels[missingFrom - 1], error);
    if (error) return;
    if (above == FileType::folder) break;
    if (above != FileType::notFound) {
      error = std::make_error_code(std::errc::not_a_directory);
      return;
    }
    --missingFrom;
  }
  for (size_t level = missingFrom; level < levels.size(); ++level) {
    if (path_calls::createDirectory(long_paths::systemPath(levels[level]))) continue;
    const DWORD code = GetLastError();
    // Made by someone else meanwhile: as good as made here.
    if (code == ERROR_ALREADY_EXISTS && typeOf(levels[level], error) == FileType::folder) continue;
    error = errorOf(code);
    return;
  }
}

}  // namespace platform
