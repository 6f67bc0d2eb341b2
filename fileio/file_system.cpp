#include "fileio/file_system.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/ascii_letters.h"
#include "platform/output_file.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace file_system {
namespace {

// Throws the library's error for `operation` on `native` when `error` is set.
void check(const char* operation, const fs::path& native, const std::error_code& error) {
  if (error) throw fs::filesystem_error(operation, native, error);
}

// `native` and each level above it up to and including the first that
// exists ("" for the current folder). Part of the folder creation: a level
// that cannot be queried counts as existing, as its creation will tell.
std::vector<std::wstring> levelsUpToExisting(const std::wstring& path, fs::path native) {
  const auto missing = [](const fs::path& level) {
    std::error_code error;
    return platform::fileTypeQuietly(level, error) == platform::FileType::notFound && !error;
  };
  std::vector<std::wstring> folders{path};
  if (!native.has_filename()) native = native.parent_path();  // "out/" is "out"
  while (missing(native) && native.has_parent_path() && native.parent_path() != native) {
    native = native.parent_path();
    folders.push_back(platform::widePath(native));
  }
  if (!native.has_parent_path() && missing(native)) folders.emplace_back();
  return folders;
}

platform::FileType typeOf(const char* operation, const fs::path& native) {
  std::error_code error;
  const platform::FileType type = platform::fileType(native, error);
  check(operation, native, error);
  return type;
}

}  // namespace

bool exists(const std::wstring& path) {
  return typeOf("exists", platform::queryPath(path)) != platform::FileType::notFound;
}

bool nameTaken(const std::wstring& path) {
  bool taken = false;
  if (const int error = platform::nameTaken(path, taken))
    throw fs::filesystem_error("exists", platform::queryPath(path),
                               std::error_code(error, std::generic_category()));
  return taken;
}

bool isDirectory(const std::wstring& path) {
  return typeOf("status", platform::queryPath(path)) == platform::FileType::folder;
}

bool isFile(const std::wstring& path) {
  return typeOf("status", platform::queryPath(path)) == platform::FileType::file;
}

namespace {

// Windows compares names without regard to case; so does the search here,
// for ASCII letters, on every platform alike.
bool sameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return ascii_letters::lowerCase(x) == ascii_letters::lowerCase(y);
         });
}

}  // namespace

std::vector<std::wstring> filesWithExtension(const std::wstring& path,
                                             const std::wstring& extension) {
  const fs::path native = platform::queryPath(path);
  std::error_code error;
  std::vector<std::wstring> names;
  for (const std::wstring& name : platform::fileNamesIn(native, error))
    if (sameIgnoringCase(platform::widePath(platform::nativePath(name).extension()), extension))
      names.push_back(name);
  check("directory_iterator", native, error);
  std::sort(names.begin(), names.end());
  return names;
}

bool isEmpty(const std::wstring& path) {
  const fs::path native = platform::queryPath(path);
  std::error_code error;
  const bool empty = platform::isEmpty(native, error);
  check("is_empty", native, error);
  return empty;
}

uint64_t fileSize(const std::wstring& path) {
  const fs::path native = platform::queryPath(path);
  std::error_code error;
  const uint64_t size = platform::fileSize(native, error);
  check("file_size", native, error);
  return size;
}

std::vector<std::wstring> createFolders(const std::wstring& path) {
  const fs::path native = platform::queryPath(path);
  const platform::FileType type = typeOf("create_directories", native);
  if (type != platform::FileType::notFound && type != platform::FileType::folder)
    check("create_directories", native, std::make_error_code(std::errc::file_exists));
  std::vector<std::wstring> changed = levelsUpToExisting(path, native);
  std::error_code error;
  platform::createFolders(native, error);
  check("create_directories", native, error);
  return changed;
}

}  // namespace file_system
