// The stages of a join that read the pieces: the rebuild under a temporary
// name and its final name, or the check alone.
#include <cerrno>
#include <memory>

#include "common/job_failure.h"
#include "common/to_wide.h"
#include "fileio/file_ptr.h"
#include "fileio/my_file_error.h"
#include "hash/checked_digest.h"
#include "join/join_job.h"
#include "split/path_rules.h"
#include "platform/platform.h"
#include "transfer/block_copy.h"

using transfer::inQuotes;

namespace {

// Opens `path` in `mode`; a failure ends the job with a line that names it.
std::unique_ptr<FileIO_IF> openNamed(const std::wstring& path, const OpenMode& mode,
                                     const wchar_t* cannot) {
  try {
    return std::unique_ptr<FileIO_IF>(new File_ptr(path.c_str(), mode));
  } catch (const MyFileError& error) {
    throw JobFailure(cannot + inQuotes(path) + L": " + printableText(error.what()));
  }
}

}  // namespace

std::string JoinJob::hashPieces(FileIO_IF* out, const std::wstring& outPath) {
  CheckedDigest digest(out != nullptr ? outPath : scriptPath_);
  progress_.reset(new transfer::Progress(console_, total_));
  transfer::BlockCopy blocks(*progress_);  // its ring and writer serve every piece
  for (size_t i = 0; i < piecePaths_.size(); ++i) {
    const std::wstring& path = piecePaths_[i];
    const std::unique_ptr<FileIO_IF> piece = openNamed(path, kInputMode, L"Cannot read ");
    // A check vouches for what the medium holds, not for a cached copy.
    if (out == nullptr && !piece->readFromMedium()) transfer::failRead(path, errno);
    // A piece that shrank ends early; one that grew has bytes left.
    if (blocks.copy(*piece, path, pieceSizes_[i], digest, out, outPath) != pieceSizes_[i] ||
        !piece->eof())
      throw JobFailure(L"The piece " + inQuotes(path) + L" changed while it was read.");
  }
  return digest.finish();
}

int JoinJob::rebuild() {
  std::unique_ptr<FileIO_IF> out = openNamed(temporaryPath_, kPieceMode, L"Cannot write ");
  const std::string digest = hashPieces(out.get(), temporaryPath_);
  transfer::requireFlushed(*out, temporaryPath_);
  transfer::requireClosed(*out, temporaryPath_);
  out.reset();
  if (!expectedDigest_.empty() && digest != expectedDigest_) {
    printLine(L"The rebuilt file does not match " + inQuotes(digestPath_) +
              L"; its bytes stay in " + inQuotes(temporaryPath_) + L".");
    return 10;
  }
  const int error = platform::renameNoReplace(temporaryPath_, targetPath_);
  if (error == EEXIST) {
    printLine(inQuotes(targetPath_) + L" exists already; the rebuilt bytes stay in " +
              inQuotes(temporaryPath_) + L".");
    return 8;
  }
  if (error != 0)
    throw JobFailure(L"Cannot rename " + inQuotes(temporaryPath_) + L" to " +
                     inQuotes(targetPath_) + L": " + platform::systemErrorText(error));
  transfer::requireFolderFlushed(path_rules::removeFileName(targetPath_));
  if (expectedDigest_.empty()) {
    printLine(inQuotes(targetPath_) + L" was rebuilt but not verified: there is no " +
              inQuotes(digestPath_) + L".");
    return 11;
  }
  printLine(inQuotes(targetPath_) + L" was rebuilt and matches " + inQuotes(digestPath_) + L".");
  return 0;
}

int JoinJob::check() {
  const std::string digest = hashPieces(nullptr, L"");
  if (expectedDigest_.empty()) {
    printLine(L"The pieces were read but not verified: there is no " + inQuotes(digestPath_) +
              L".");
    return 11;
  }
  if (digest != expectedDigest_) {
    printLine(L"The pieces do not match " + inQuotes(digestPath_) + L".");
    return 10;
  }
  printLine(L"The pieces match " + inQuotes(digestPath_) + L".");
  return 0;
}
