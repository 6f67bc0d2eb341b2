// The split's own terms for the shared fit check.
#include "transfer/fit_check.h"

#include <algorithm>
#include <string>

#include "platform/output_file.h"
#include "split/split_exit_codes.h"
#include "split/split_job.h"
#include "texts/split_texts.h"

namespace {

constexpr uint64_t kDigestBytes = 32;
constexpr uint64_t kMegabyte = 1048576;

}  // namespace

int SplitJob::checkFit(uint64_t pieceSize, uint64_t scriptBytes) {
  transfer::PlannedWrite write;
  write.bytes = plannedSize_ + scriptBytes + kDigestBytes;
  write.largestFile = std::min(pieceSize, plannedSize_);
  write.job = split_texts::kWhatNeedsSpace;
  write.files = split_texts::kWhatMayNotFit;
  write.fatAdvice = split_texts::fatAdvice(transfer::kFatLargestFile / kMegabyte);
  return transfer::fitsIn(console_, outputFolder_->path(), write) ? split_exit::kSuccess
                                                                  : split_exit::kFailed;
}
