// A small file system of a test's own, where the platform and the test's
// rights allow one: on Linux a tmpfs, mounted while the object lives.
#pragma once

#include <cstdint>
#include <string>

/// Makes the faked free-space answer (platform_test_hooks::fakeFreeSpace)
/// count in blocks of `bytes`, its numbers then counts of blocks; 1 makes
/// them bytes again. False where the answer is bytes alone (Windows).
bool fakeBlockSize(unsigned long bytes);

class SmallFileSystem {
 public:
  /// Mounts a file system of `bytes` on the existing empty folder `folder`.
  SmallFileSystem(const std::wstring& folder, uint64_t bytes);
  /// Unmounts it, whatever the test left in it.
  ~SmallFileSystem();
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  /// Whether it is mounted; when not, whyNot() says why, for the skip.
  bool mounted() const { return mounted_; }
  const std::string& whyNot() const { return whyNot_; }

  /// The bytes free to this user there, as the system reports them now.
  uint64_t available() const;

 private:
  std::wstring folder_;
  bool mounted_ = false;
  std::string whyNot_;
};
