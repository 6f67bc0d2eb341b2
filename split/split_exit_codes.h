// filesplit's exit codes: what each result of the split means to a caller.
// The numbers are the documented ones (README, man page) and never change.
#pragma once

namespace split_exit {

/// Pieces, script and digest written.
constexpr int kSuccess = 0;
/// No file argument; the split would not fit; a name or count the script
/// cannot carry; or the split failed after it started (one line says why).
constexpr int kFailed = 1;
/// The input does not exist.
constexpr int kInputMissing = 3;
/// The input is a folder.
constexpr int kInputIsFolder = 4;
/// The input is empty.
constexpr int kInputEmpty = 5;
/// The input is smaller than one piece ("No need to split.").
constexpr int kNoNeedToSplit = 6;
/// The size is not all digits, is empty, or is zero.
constexpr int kInvalidSize = 7;
/// A piece, the script or the digest file exists already.
constexpr int kOutputExists = 8;
/// The output folder could not be checked or created.
constexpr int kOutputFolderFailed = 9;

}  // namespace split_exit
