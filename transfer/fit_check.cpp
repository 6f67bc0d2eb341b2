#include "transfer/fit_check.h"

#include <optional>

#include "platform/platform.h"

namespace transfer {

bool fitsIn(std::wostream& console, const std::wstring& folder, const PlannedWrite& write) {
  // The numbers go through the console stream, grouped as the user's locale
  // groups digits. No folder is the current one, asked about and named ".".
  const std::wstring queried = folder.empty() ? L"." : folder;
  const std::optional<uint64_t> freeBytes = platform::freeSpace(queried);
  if (freeBytes && *freeBytes < write.bytes) {
    console << L"Not enough free space in \"" << queried << L"\": " << write.job << L" needs "
            << write.bytes << L" bytes; " << *freeBytes << L" are free." << std::endl;
    return false;
  }
  if (platform::onFatFileSystem(queried) && write.largestFile > kFatLargestFile) {
    console << write.files << L" would not fit on \"" << queried
            << L"\": its FAT file system holds files of at most " << kFatLargestFile << L" bytes"
            << (write.fatAdvice.empty() ? L"" : L"; ") << write.fatAdvice << L"." << std::endl;
    return false;
  }
  const std::optional<uint64_t> limit = platform::largestFileAllowed();
  if (limit && write.largestFile > *limit) {
    console << write.files
            << L" would not be written whole: this process may write files of at most " << *limit
            << L" bytes (ulimit -f)." << std::endl;
    return false;
  }
  return true;
}

}  // namespace transfer
