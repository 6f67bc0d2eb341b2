// The output folder held for a run on Windows: a handle that shares reading
// and writing but no deletion, so that while it is open nobody can rename
// or remove the folder (the attempt fails with a sharing violation), and
// the outputs created by their paths all land in it.
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "long_paths.h"
#include "path_calls.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "win32_errno.h"

namespace platform {

namespace {

// Opens the folder `native`, as the seam plans an open (EINTR retried as
// everywhere). INVALID_HANDLE_VALUE with `error` set when it cannot.
HANDLE openFolder(const std::filesystem::path& native, int& error) {
  while (!goAhead(FaultPoint::open)) {
    if (errno != EINTR) {
      error = errno;
      return INVALID_HANDLE_VALUE;
    }
  }
  // Data access (listing): only an open with it takes part in sharing.
  // FILE_FLAG_BACKUP_SEMANTICS opens a folder.
  const HANDLE handle = path_calls::createFile(
      long_paths::systemPath(native.native()), FILE_LIST_DIRECTORY,
      FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) error = win32_errno::errnoOf(GetLastError(), EINVAL);
  return handle;
}

}  // namespace

OutputFolder::OutputFolder(const std::wstring& path) : path_(path), held_(0) {
  int error = 0;
  const HANDLE handle = openFolder(queryPath(path.empty() ? L"." : path), error);
  if (handle == INVALID_HANDLE_VALUE)
    throw std::filesystem::filesystem_error("open", queryPath(path),
                                            std::error_code(error, std::generic_category()));
  held_ = reinterpret_cast<intptr_t>(handle);
}

OutputFolder::~OutputFolder() {
  CloseHandle(reinterpret_cast<HANDLE>(held_));  // NOLINT(performance-no-int-to-ptr)
}

// Windows' file systems log their entries themselves; a planned failure
// still fails, as on POSIX.
std::optional<std::wstring> OutputFolder::whereNow() const { return path_; }

int OutputFolder::flush() const { return goAhead(FaultPoint::folderFlush) ? 0 : errno; }

}  // namespace platform
