// Files and a hash in memory for the block loop's tests: each numbered call
// can be twisted (failed, shortened, a false end) or held until another call
// began or ended, counted over all the files of one FakeFiles as the fault
// seam counts, and safe to call from two threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fileio/file_io.h"
#include "hash/hash_if.h"

/// The calls of the fakes: a file's read, write and close, the hash's
/// update, a destination's switch to writes past the cache (writeToMedium;
/// a failure refuses them), its writes of whole sectors past the cache, and
/// its flush.
enum class FakeCall { read, write, close, hash, toMedium, sectors, flush };

/// One call: its kind and its number among the calls of that kind, from 1.
struct CallId {
  FakeCall call;
  unsigned number;
  bool operator<(const CallId& other) const {
    return std::make_pair(call, number) < std::make_pair(other.call, other.number);
  }
};

/// What a call does instead of its work.
struct Twist {
  CallId at;
  int error = 0;                // fails, with this errno value (read, write, close, hash)
  uint32_t limit = UINT32_MAX;  // moves at most this many bytes (read, write)
  bool falseEnd = false;        // read: the file says it ended before it (eof)
};

/// Holds call `held`, once it began, until `until` ended (began, when
/// `untilBegan`).
struct Gate {
  CallId held;
  CallId until;
  bool untilBegan = false;
};

class FakeFiles {
 public:
  FakeFiles(std::vector<Twist> twists, std::vector<Gate> gates)
      : twists_(std::move(twists)), gates_(std::move(gates)) {}

  /// A file to read holding `bytes`.
  std::unique_ptr<FileIO_IF> source(std::string bytes);
  /// A new empty file to write; its bytes are written(n), n from 0 in order made.
  std::unique_ptr<FileIO_IF> destination();
  /// A hash that keeps what it is fed (fed()); its text is 32 zeros.
  std::unique_ptr<HASH_IF> hash();

  std::string written(size_t destination) const;
  size_t destinations() const;
  std::string fed() const;
  unsigned calls(FakeCall call) const;
  /// The reads into a buffer that does not start at a multiple of
  /// platform::kMediumAlignment, where a read from the medium could not go.
  unsigned misalignedReads() const;
  /// The writes past the cache that are not whole sectors from an aligned
  /// buffer, and the ordinary writes made while those writes were on, as
  /// neither could go to the medium.
  unsigned misalignedWrites() const;
  /// The bytes all destinations took past the cache.
  uint64_t pastCache() const;
  /// Whether a gate gave up waiting (after seconds): the awaited call never came.
  bool gaveUp() const;
  /// Whether a hash call found bytes of its block, or later ones, written.
  bool writtenBeforeHashed() const;

 private:
  class Source;
  class Destination;
  class Hash;
  friend class Source;
  friend class Destination;
  friend class Hash;

  // Counts a call of `call`, holds it at its gates; returns its twist (or none).
  Twist begin(FakeCall call, std::unique_lock<std::mutex>& lock);
  void end(const Twist& call, std::unique_lock<std::mutex>& lock);
  bool falseEndNext() const;
  uint64_t writtenTotal() const;

  const std::vector<Twist> twists_;
  const std::vector<Gate> gates_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  unsigned counts_[7] = {};
  std::set<CallId> began_, ended_;
  std::vector<std::string> written_;
  std::string fed_;
  unsigned misalignedReads_ = 0;
  unsigned misalignedWrites_ = 0;
  uint64_t pastCache_ = 0;
  bool gaveUp_ = false;
  bool writtenBeforeHashed_ = false;
};
