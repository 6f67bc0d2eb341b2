#include "temp_dir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/platform.h"

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() /
        ("filesplit-test-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++));
    if (fs::create_directory(candidate)) {
      native_ = candidate;
      wide_ = platform::widePath(candidate);
      return;
    }
  }
  throw std::runtime_error("no temp folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(native_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(native_, ignored);
}

std::wstring TempDir::operator/(const std::wstring& relative) const {
  return platform::widePath(native_ / platform::nativePath(relative));
}

void writeFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(platform::nativePath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write test file");
}

std::string readFile(const std::wstring& path) {
  std::ifstream in(platform::nativePath(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read test file");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string patternBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

namespace {

template <typename Value>
std::map<std::string, Value> walk(const std::wstring& folder, Value (*valueOf)(const fs::path&),
                                  Value folderValue) {
  std::map<std::string, Value> entries;
  const fs::path root = platform::nativePath(folder);
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = entry.path().lexically_relative(root).generic_u8string();
    std::error_code loop;  // a link that leads to itself is no folder
    entries[relative] = entry.is_directory(loop) ? folderValue : valueOf(entry.path());
  }
  return entries;
}

// What a link names, not what it leads to; a mark for what cannot be read
// as a file (reading a FIFO would wait for a writer).
std::string contentOf(const fs::path& path) {
  if (fs::is_symlink(path)) return "<link to " + fs::read_symlink(path).generic_u8string() + ">";
  if (!fs::is_regular_file(path)) return "<not a file>";
  try {
    return readFile(platform::widePath(path));
  } catch (const std::runtime_error&) {
    return "<unreadable>";
  }
}
uint64_t sizeOf(const fs::path& path) { return fs::file_size(path); }

}  // namespace

std::map<std::string, std::string> snapshot(const std::wstring& folder) {
  return walk<std::string>(folder, contentOf, "<dir>");
}

std::map<std::string, uint64_t> listing(const std::wstring& folder) {
  return walk<uint64_t>(folder, sizeOf, UINT64_MAX);
}

::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected) {
  const auto parted = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  if (parted.first == actual.end() && parted.second == expected.end())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actual.size() << " bytes where " << expected.size()
         << " were expected, the first that differs at offset " << (parted.first - actual.begin());
}

::testing::AssertionResult sameFiles(const std::map<std::string, std::string>& actual,
                                     const std::map<std::string, std::string>& expected) {
  for (const auto& [path, bytes] : expected) {
    const auto found = actual.find(path);
    if (found == actual.end()) return ::testing::AssertionFailure() << path << " is missing";
    if (const auto same = sameBytes(found->second, bytes); !same)
      return ::testing::AssertionFailure() << path << ": " << same.message();
  }
  for (const auto& entry : actual)
    if (expected.count(entry.first) == 0)
      return ::testing::AssertionFailure() << entry.first << " is there too";
  return ::testing::AssertionSuccess();
}
