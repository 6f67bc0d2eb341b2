#include "fileio/file_system.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace file_system {
namespace {

// Throws the library's error for `operation` on `native` when `error` is set.
void check(const char* operation, const fs::path& native, const std::error_code& error) {
  if (error) throw fs::filesystem_error(operation, native, error);
}

// Fails `operation` as a test build may have planned for this call at `point`.
void checkPlanned(platform::FaultPoint point, const char* operation, const fs::path& native) {
  const int planned = platform::injectedFault(point).error;
  if (planned != 0) check(operation, native, std::error_code(planned, std::generic_category()));
}

fs::file_status statusOf(const char* operation, const fs::path& native) {
  checkPlanned(platform::FaultPoint::fileStatus, operation, native);
  std::error_code error;
  const fs::file_status status = fs::status(native, error);
  // A missing file is an answer, not a failure.
  if (status.type() == fs::file_type::not_found) return status;
  check(operation, native, error);
  return status;
}

}  // namespace

bool exists(const std::wstring& path) {
  return fs::exists(statusOf("exists", platform::queryPath(path)));
}

bool isDirectory(const std::wstring& path) {
  return fs::is_directory(statusOf("status", platform::queryPath(path)));
}

bool isFile(const std::wstring& path) {
  return fs::is_regular_file(statusOf("status", platform::queryPath(path)));
}

namespace {

// Windows compares names without regard to case; so does the search here,
// for ASCII letters, on every platform alike.
bool sameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&](wchar_t x, wchar_t y) { return lower(x) == lower(y); });
}

}  // namespace

std::vector<std::wstring> filesWithExtension(const std::wstring& path,
                                             const std::wstring& extension) {
  const fs::path native = platform::queryPath(path);
  checkPlanned(platform::FaultPoint::fileStatus, "directory_iterator", native);
  std::error_code error;
  std::vector<std::wstring> names;
  fs::directory_iterator entry(native, error);
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    const std::wstring name = platform::widePath(entry->path().filename());
    std::error_code typeError;
    if (!entry->is_regular_file(typeError) || typeError) continue;
    if (sameIgnoringCase(platform::widePath(entry->path().extension()), extension))
      names.push_back(name);
  }
  check("directory_iterator", native, error);
  std::sort(names.begin(), names.end());
  return names;
}

bool isEmpty(const std::wstring& path) {
  const fs::path native = platform::queryPath(path);
  checkPlanned(platform::FaultPoint::fileStatus, "is_empty", native);
  std::error_code error;
  const bool empty = fs::is_empty(native, error);
  check("is_empty", native, error);
  return empty;
}

uint64_t fileSize(const std::wstring& path) {
  const fs::path native = platform::queryPath(path);
  checkPlanned(platform::FaultPoint::fileSize, "file_size", native);
  std::error_code error;
  const uintmax_t size = fs::file_size(native, error);
  check("file_size", native, error);
  return size;
}

void createFolders(const std::wstring& path) {
  const fs::path native = platform::queryPath(path);
  checkPlanned(platform::FaultPoint::folderCreation, "create_directories", native);
  const fs::file_status status = statusOf("create_directories", native);
  if (fs::exists(status) && !fs::is_directory(status))
    check("create_directories", native, std::make_error_code(std::errc::file_exists));
  std::error_code error;
  fs::create_directories(native, error);
  check("create_directories", native, error);
}

}  // namespace file_system
