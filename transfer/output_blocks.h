// How the bytes of one output reach it: whole aligned blocks past the cache
// where the output takes such writes, the rest the ordinary way.
#pragma once

#include <cstdint>
#include <string>

class FileIO_IF;

namespace transfer {

/// The writes into one output at a time, its bytes given in runs of any
/// length. Where the output takes writes past the cache
/// (FileIO_IF::writeToMedium), a run that starts aligned goes there in whole
/// sectors straight from the caller's buffer; the bytes that do not fill a
/// sector, and all after them, are gathered into a block of their own and go
/// there a whole block at a time. At the end the whole sectors gathered go
/// there too, then the output's last bytes that fill no sector
/// (FileIO_IF::writeLast). Elsewhere every run is written the ordinary way
/// at once, its write-back to the medium started after it. Every failure
/// ends the job ("Cannot write" naming the output).
class OutputBlocks {
 public:
  /// `gathered`: a block of kBlockSize bytes at a multiple of
  /// platform::kMediumAlignment, for this object's use while it lives.
  explicit OutputBlocks(unsigned char* gathered) : gathered_(gathered) {}

  /// Whether an output was started and is not completed or dropped yet.
  bool started() const { return file_ != nullptr; }
  /// Starts writing `file`, named `path`, from its first byte.
  void start(FileIO_IF& file, const std::wstring& path);
  /// Writes the `count` bytes of `bytes` after those given before.
  void write(const unsigned char* bytes, uint32_t count);
  /// Writes what is held back and ends the output.
  void complete();
  /// Ends the output, what is held back left unwritten: after a failure.
  void drop() { file_ = nullptr; }

 private:
  void writeSectors(const unsigned char* bytes, uint32_t count);
  void writeThroughCache(const unsigned char* bytes, uint32_t count);

  unsigned char* const gathered_;
  FileIO_IF* file_ = nullptr;
  const std::wstring* path_ = nullptr;
  bool pastCache_ = false;  // the output takes writes past the cache
  uint32_t held_ = 0;       // the bytes in gathered_
  uint64_t written_ = 0;    // the bytes given to the output's writes
};

}  // namespace transfer
