#include "script/path_rules.h"

#include <filesystem>

#include "platform/ascii_letters.h"
#include "platform/platform.h"
#include "platform/windows_names.h"

namespace fs = std::filesystem;

namespace path_rules {
namespace {

// `name` as Windows stores it (trailing dots and blanks dropped) with its
// ASCII letters in lower case.
std::wstring windowsNameKey(const std::wstring& name) {
  std::wstring key = windows_names::stored(name);
  for (wchar_t& c : key) c = ascii_letters::lowerCase(c);
  return key;
}

}  // namespace

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
  return join(removeFileName(path), platform::nameAsCreated(stem(path)));
}

std::wstring replaceExtension(const std::wstring& path, const std::wstring& extension) {
  return platform::widePath(
      platform::nativePath(path).replace_extension(platform::nativePath(extension)));
}

bool sameWindowsName(const std::wstring& a, const std::wstring& b) {
  return windowsNameKey(a) == windowsNameKey(b);
}

}  // namespace path_rules
