// The split's own terms for the shared fit check.
#include "transfer/fit_check.h"

#include <algorithm>
#include <string>

#include "fileio/file_ptr.h"
#include "platform/output_file.h"
#include "split/split_exit_codes.h"
#include "split/split_job.h"
#include "texts/split_texts.h"

namespace {

constexpr uint64_t kDigestBytes = 32;
constexpr uint64_t kMegabyte = 1048576;

}  // namespace

int SplitJob::checkFit(uint64_t pieceSize) {
  // Counted as it is made: the script of a split refused for room is never
  // held whole.
  uint64_t scriptBytes = 0;
  makeRejoinScript([&](const std::string& part) { scriptBytes += storedTextSize(part); });
  transfer::PlannedWrite write;
  write.bytes = plannedSize_ + scriptBytes + kDigestBytes;
  write.job = split_texts::kWhatNeedsSpace;
  // The digest is smaller than any piece (1 MB at least): it needs no line.
  write.files = {{std::min(pieceSize, plannedSize_), split_texts::kWhatMayNotFit,
                  split_texts::fatAdvice(transfer::kFatLargestFile / kMegabyte)},
                 {scriptBytes, split_texts::kScriptMayNotFit, L""}};
  return transfer::fitsIn(console_, outputFolder_->path(), write) ? split_exit::kSuccess
                                                                  : split_exit::kFailed;
}
