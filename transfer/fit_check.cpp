#include "transfer/fit_check.h"

#include <optional>

#include "platform/platform.h"
#include "texts/shared_texts.h"

namespace transfer {

bool fitsIn(std::wostream& console, const std::wstring& folder, const PlannedWrite& write) {
  // The numbers go through the console stream, grouped as the user's locale
  // groups digits. No folder is the current one, asked about and named ".".
  const std::wstring queried = folder.empty() ? L"." : folder;
  const auto grouped = [&](uint64_t value) {
    return shared_texts::grouped(value, console.getloc());
  };
  const std::optional<uint64_t> freeBytes = platform::freeSpace(queried);
  if (freeBytes && *freeBytes < write.bytes) {
    console << shared_texts::notEnoughSpace(queried, write.job, grouped(write.bytes),
                                            grouped(*freeBytes))
            << std::endl;
    return false;
  }
  if (platform::onFatFileSystem(queried)) {
    for (const PlannedFiles& files : write.files) {
      if (files.largest <= kFatLargestFile) continue;
      console << shared_texts::tooLargeForFat(files.name, queried, grouped(kFatLargestFile),
                                              files.fatAdvice)
              << std::endl;
      return false;
    }
  }
  if (const std::optional<uint64_t> limit = platform::largestFileAllowed()) {
    for (const PlannedFiles& files : write.files) {
      if (files.largest <= *limit) continue;
      console << shared_texts::tooLargeForLimit(files.name, grouped(*limit)) << std::endl;
      return false;
    }
  }
  return true;
}

}  // namespace transfer
