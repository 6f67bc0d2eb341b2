// The check that what a tool is about to write fits in its folder, made
// before anything is written: a job that cannot fit would otherwise fail
// only after minutes of copying, at the last byte of the free space or of
// the largest file FAT holds.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace transfer {

/// The largest file FAT holds: 4 GiB less one byte.
constexpr uint64_t kFatLargestFile = 4294967295;

/// Files of one kind that are to be written (the pieces, the script), for
/// the lines that tell why one of them does not fit.
struct PlannedFiles {
  /// The size of the largest of them.
  uint64_t largest = 0;
  /// What FAT or the limit cannot hold, as the line begins: "The pieces".
  std::wstring name;
  /// What the user may do about FAT, appended to that line after "; " (empty: nothing).
  std::wstring fatAdvice;
};

/// What is to be written, for the lines that tell why it does not fit.
struct PlannedWrite {
  /// The bytes of every file together.
  uint64_t bytes = 0;
  /// What needs the space, as the line names it: "the split".
  std::wstring job;
  /// Every kind of file written, each checked in this order.
  std::vector<PlannedFiles> files;
};

/// Whether `write` fits in the folder `folder` ("": the current one, named
/// "." in the line): false, after one line on
/// `console` (its locale grouping the digits) telling why, when the
/// folder's file system has less space free for this user than
/// `write.bytes`, or is FAT and a file is larger than FAT holds, or a file
/// is larger than this process may write (the first kind of `write.files`
/// that does not fit named).
/// A query the system does not answer goes ahead.
bool fitsIn(std::wostream& console, const std::wstring& folder, const PlannedWrite& write);

}  // namespace transfer
