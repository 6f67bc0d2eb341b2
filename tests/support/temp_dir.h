// A fresh folder per test, removed with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  /// The folder, as wide text with a trailing separator-free form.
  const std::wstring& wide() const { return wide_; }
  const std::filesystem::path& native() const { return native_; }
  /// `relative` below the folder, as wide text.
  std::wstring operator/(const std::wstring& relative) const;

 private:
  std::filesystem::path native_;
  std::wstring wide_;
};

/// Writes `bytes` to `path` (wide), creating or replacing the file.
void writeFile(const std::wstring& path, const std::string& bytes);
/// The bytes of the file at `path`.
std::string readFile(const std::wstring& path);
/// `size` bytes of deterministic pseudo-random data, from `seed`.
std::string patternBytes(size_t size, uint32_t seed);
/// Every file below `folder` with its bytes, by path relative to it ("/"
/// separated); folders are listed with the value "<dir>", a link with
/// "<link to TARGET>", anything else that cannot be read with a mark.
std::map<std::string, std::string> snapshot(const std::wstring& folder);
/// Every entry below `folder` with its size, for messages and comparisons.
std::map<std::string, uint64_t> listing(const std::wstring& folder);

// Comparisons of files' bytes whose failures tell sizes and where the bytes
// part, never the bytes: a rebuilt file's megabytes would bury the log.

/// Whether `actual` holds exactly the bytes of `expected`.
::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected);
/// Whether two snapshots hold the same files with the same bytes; a failure
/// names the first path that differs.
::testing::AssertionResult sameFiles(const std::map<std::string, std::string>& actual,
                                     const std::map<std::string, std::string>& expected);
