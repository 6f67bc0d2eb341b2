// The check that what a tool is about to write fits in its folder, made
// before anything is written: a job that cannot fit would otherwise fail
// only after minutes of copying, at the last byte of the free space or of
// the largest file FAT holds.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace transfer {

/// The largest file FAT holds: 4 GiB less one byte.
constexpr uint64_t kFatLargestFile = 4294967295;

/// What is to be written, for the lines that tell why it does not fit.
struct PlannedWrite {
  /// The bytes of every file together.
  uint64_t bytes = 0;
  /// The size of the largest of the files.
  uint64_t largestFile = 0;
  /// What needs the space, as the line names it: "the split".
  std::wstring job;
  /// What FAT cannot hold, as the line begins: "The pieces".
  std::wstring files;
  /// What the user may do about FAT, appended to that line after "; " (empty: nothing).
  std::wstring fatAdvice;
};

/// Whether `write` fits in the folder `folder` ("": the current one, named
/// "." in the line): false, after one line on
/// `console` (its locale grouping the digits) telling why, when the
/// folder's file system has less space free for this user than
/// `write.bytes`, or is FAT and the largest file is larger than FAT holds,
/// or the largest file is larger than this process may write.
/// A query the system does not answer goes ahead.
bool fitsIn(std::wostream& console, const std::wstring& folder, const PlannedWrite& write);

}  // namespace transfer
