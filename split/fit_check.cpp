// The split's own terms for the shared fit check.
#include "transfer/fit_check.h"

#include <algorithm>
#include <string>

#include "platform/output_file.h"
#include "split/split_exit_codes.h"
#include "split/split_job.h"

namespace {

constexpr uint64_t kDigestBytes = 32;
constexpr uint64_t kMegabyte = 1048576;

}  // namespace

int SplitJob::checkFit(uint64_t pieceSize, uint64_t scriptBytes) {
  transfer::PlannedWrite write;
  write.bytes = plannedSize_ + scriptBytes + kDigestBytes;
  write.largestFile = std::min(pieceSize, plannedSize_);
  write.job = L"the split";
  write.files = L"The pieces";
  // The size in MB is one to type on the command line: digits only.
  write.fatAdvice = L"choose a divide size of at most " +
                    std::to_wstring(transfer::kFatLargestFile / kMegabyte) + L" MB";
  return transfer::fitsIn(console_, outputFolder_->path(), write) ? split_exit::kSuccess
                                                                  : split_exit::kFailed;
}
