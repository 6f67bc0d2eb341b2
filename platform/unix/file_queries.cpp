// The file-system queries and the folder creation on UNIX systems: the
// standard library's own, each asking the fault seam first.
#include "platform/platform.h"
#include "platform/seam_calls.h"

namespace fs = std::filesystem;

namespace platform {

FileType fileTypeQuietly(const fs::path& native, std::error_code& error) {
  const fs::file_status status = fs::status(native, error);
  switch (status.type()) {
    case fs::file_type::not_found:  // a missing file is an answer, not a failure
      error.clear();
      return FileType::notFound;
    case fs::file_type::none:  // the query failed: `error` tells why
      return FileType::notFound;
    case fs::file_type::regular:
      return FileType::file;
    case fs::file_type::directory:
      return FileType::folder;
    default:
      return FileType::other;
  }
}

FileType fileType(const fs::path& native, std::error_code& error) {
  if (!seam_calls::queryGoesAhead(FaultPoint::fileStatus, error)) return FileType::notFound;
  return fileTypeQuietly(native, error);
}

bool isEmpty(const fs::path& native, std::error_code& error) {
  return seam_calls::queryGoesAhead(FaultPoint::fileStatus, error) && fs::is_empty(native, error);
}

uint64_t fileSize(const fs::path& native, std::error_code& error) {
  // As the library's failed size: static_cast<uintmax_t>(-1).
  if (!seam_calls::queryGoesAhead(FaultPoint::fileSize, error)) return static_cast<uint64_t>(-1);
  return fs::file_size(native, error);
}

std::vector<std::wstring> fileNamesIn(const fs::path& native, std::error_code& error) {
  std::vector<std::wstring> names;
  if (!seam_calls::queryGoesAhead(FaultPoint::fileStatus, error)) return names;
  fs::directory_iterator entry(native, error);
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    std::error_code typeError;
    if (entry->is_regular_file(typeError) && !typeError)
      names.push_back(widePath(entry->path().filename()));
  }
  return names;
}

void createFolders(const fs::path& native, std::error_code& error) {
  if (!seam_calls::queryGoesAhead(FaultPoint::folderCreation, error)) return;
  fs::create_directories(native, error);
}

}  // namespace platform
