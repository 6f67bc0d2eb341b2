#include "split/path_rules.h"

#include <filesystem>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace path_rules {

std::wstring fileName(const std::wstring& path) {
  return platform::widePath(platform::nativePath(path).filename());
}

std::wstring stem(const std::wstring& path) {
  return platform::widePath(platform::nativePath(path).stem());
}

std::wstring removeFileName(const std::wstring& path) {
  return platform::widePath(platform::nativePath(path).remove_filename());
}

std::wstring join(const std::wstring& folder, const std::wstring& name) {
  return platform::widePath(platform::nativePath(folder) / platform::nativePath(name));
}

std::wstring folderBeside(const std::wstring& path) {
  return join(removeFileName(path), stem(path));
}

std::wstring replaceExtension(const std::wstring& path, const std::wstring& extension) {
  return platform::widePath(
      platform::nativePath(path).replace_extension(platform::nativePath(extension)));
}

}  // namespace path_rules
