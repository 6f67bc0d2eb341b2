// The check that a split fits in its output folder, made before anything is
// written: a split that cannot fit would otherwise fail only after minutes
// of copying, at the last byte of a piece or of the free space.
#include <algorithm>
#include <optional>
#include <string>

#include "common/in_quotes.h"
#include "platform/platform.h"
#include "split/split_exit_codes.h"
#include "split/split_job.h"

namespace {

constexpr uint64_t kDigestBytes = 32;
constexpr uint64_t kFatLargestFile = 4294967295;  // 4 GiB less one byte
constexpr uint64_t kMegabyte = 1048576;

}  // namespace

int SplitJob::checkFit(uint64_t pieceSize, uint64_t scriptBytes) {
  // The numbers go through the console stream, grouped as the user's locale
  // groups digits.
  const uint64_t needed = plannedSize_ + scriptBytes + kDigestBytes;
  const std::optional<uint64_t> freeBytes = platform::freeSpace(outputFolder_);
  if (freeBytes && *freeBytes < needed) {
    console_ << L"Not enough free space in " << inQuotes(outputFolder_) << L": the split needs "
             << needed << L" bytes; " << *freeBytes << L" are free." << std::endl;
    return split_exit::kFailed;
  }
  const uint64_t largestPiece = std::min(pieceSize, plannedSize_);
  if (platform::onFatFileSystem(outputFolder_) && largestPiece > kFatLargestFile) {
    // The size in MB is one to type on the command line: digits only.
    console_ << L"The pieces would not fit on " << inQuotes(outputFolder_)
             << L": its FAT file system holds files of at most " << kFatLargestFile
             << L" bytes; choose a divide size of at most "
             << std::to_wstring(kFatLargestFile / kMegabyte) << L" MB." << std::endl;
    return split_exit::kFailed;
  }
  return split_exit::kSuccess;
}
