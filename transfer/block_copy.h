// What both tools do with bytes on their way from one file to another: the
// block loop, the progress dots and the lines that tell a failed transfer.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

class CheckedDigest;
class FileIO_IF;

namespace transfer {

/// The most bytes one read asks for, and the size of the one buffer.
constexpr uint32_t kBlockSize = 1048576;

/// Ends the job: `path` could not be read, for the errno value `error`.
[[noreturn]] void failRead(const std::wstring& path, int error);

/// Ends the job: `path` could not be written, for `reason`.
[[noreturn]] void failWrite(const std::wstring& path, const std::wstring& reason);

/// Ends the job when `written` (a write's result, -1 with errno set on an
/// error) of `wanted` bytes reached `path`.
void requireWritten(int written, size_t wanted, const std::wstring& path);

/// Ends the job when closing `file` reports that `path` was not stored
/// whole, as a network file system may only tell then.
void requireClosed(FileIO_IF& file, const std::wstring& path);

/// The row of dots over a transfer of `total` bytes: at most one dot per
/// block, one each time the bytes done pass the next fiftieth of the total
/// (every block below 50 blocks), each flushed at once.
class Progress {
 public:
  Progress(std::wostream& console, uint64_t total) : console_(console), dotStep_(total / 50) {}

  /// Counts `bytes` more done and prints the dot that falls due.
  void advance(uint64_t bytes);
  /// Whether a dot was printed, so that a line after them starts afresh.
  bool printed() const { return printed_; }

 private:
  std::wostream& console_;
  uint64_t dotStep_;
  uint64_t nextDot_ = 0;
  uint64_t done_ = 0;
  bool printed_ = false;
};

/// One source and at most one destination, moved in blocks through a buffer
/// of kBlockSize bytes that lives as long as the object.
class BlockCopy {
 public:
  explicit BlockCopy(Progress& progress);
  BlockCopy(const BlockCopy&) = delete;
  BlockCopy& operator=(const BlockCopy&) = delete;

  /// Reads `from` (named `fromPath` in messages) block by block until its
  /// end or until `most` bytes were read; each block goes to the progress,
  /// to `digest`, then to `to` when given (named `toPath`). Returns the
  /// bytes read. Throws JobFailure for a failed read, hash or write.
  uint64_t copy(FileIO_IF& from, const std::wstring& fromPath, uint64_t most, CheckedDigest& digest,
                FileIO_IF* to, const std::wstring& toPath);

 private:
  Progress& progress_;
  std::unique_ptr<unsigned char[]> buffer_;
};

}  // namespace transfer
