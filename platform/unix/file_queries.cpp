// The file-system queries and the folder creation on POSIX systems: the
// standard library's own.
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace platform {

FileType fileType(const fs::path& native, std::error_code& error) {
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

bool isEmpty(const fs::path& native, std::error_code& error) { return fs::is_empty(native, error); }

uint64_t fileSize(const fs::path& native, std::error_code& error) {
  return fs::file_size(native, error);
}

std::vector<std::wstring> fileNamesIn(const fs::path& native, std::error_code& error) {
  std::vector<std::wstring> names;
  fs::directory_iterator entry(native, error);
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    std::error_code typeError;
    if (entry->is_regular_file(typeError) && !typeError)
      names.push_back(widePath(entry->path().filename()));
  }
  return names;
}

void createFolders(const fs::path& native, std::error_code& error) {
  fs::create_directories(native, error);
}

}  // namespace platform
