// The stages of a join that read the pieces: the rebuild into a file of no
// name (or a short temporary one) that gets its final name once verified,
// or the check alone.
#include <cerrno>
#include <memory>
#include <mutex>

#include "common/job_failure.h"
#include "fileio/file_ptr.h"
#include "fileio/my_file_error.h"
#include "hash/checked_digest.h"
#include "join/join_exit_codes.h"
#include "join/join_job.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "platform/to_wide.h"
#include "script/path_rules.h"
#include "texts/join_texts.h"
#include "transfer/block_copy.h"

namespace {

// A check vouches for what the medium holds, not for a cached copy: a piece
// whose reads cannot be made to come from the medium fails as a read.
void readFromMedium(FileIO_IF& piece, const std::wstring& path) {
  if (piece.readFromMedium(transfer::kBlockSize)) return;
  if (errno != platform::kPagesStayCached) transfer::failRead(path, errno);
  throw JobFailure(join_texts::cannotReadFromMedium(path));
}

}  // namespace

std::string JoinJob::hashPieces(FileIO_IF* out, const std::wstring& outPath) {
  CheckedDigest digest(out != nullptr ? outPath : scriptPath_);
  {
    // The interrupt's line may look at the dots at any time; one that came
    // before them (while the file was created) leaves none after its line.
    const std::lock_guard<std::mutex> printing(transfer::consoleLock());
    progress_.reset(new transfer::Progress(console_, total_));
    if (interrupted_) progress_->silence();
  }
  transfer::BlockCopy blocks(*progress_, digest);  // its ring and threads serve every piece
  uint64_t index = 0;
  blocks.run([&] {
    forEachPiece([&](const std::wstring& path) {
      const bool last = ++index == script_.pieceCount;
      const uint64_t size = last ? lastSize_ : fullSize_;
      std::unique_ptr<FileIO_IF> piece;
      try {
        piece = openRegularInput(path, nullptr, kPieceReadMode);
      } catch (const MyFileError& error) {
        throw JobFailure(cannotRead(path, error));
      }
      if (!piece) throw JobFailure(join_texts::pieceNotAFile(path), join_exit::kPieceMissing);
      if (out == nullptr) readFromMedium(*piece, path);
      if (out != nullptr) piece->readMediumWhereUncached(transfer::kBlockSize);
      // A piece that shrank ends early; one that grew has bytes left.
      // The output's bytes are all written before the digest is compared.
      const auto atEnd =
          last ? transfer::BlockCopy::AtEnd::complete : transfer::BlockCopy::AtEnd::leave;
      if (blocks.copy(*piece, path, size, transfer::Output{out, nullptr, outPath}, atEnd) != size ||
          !piece->eof())
        throw JobFailure(join_texts::pieceChanged(path));
      return true;
    });
  });
  return digest.finish();
}

namespace {

// The new file's short name in `folder` for the `attempt`-th try.
std::wstring temporaryName(const std::wstring& folder, unsigned attempt) {
  std::wstring name = JoinJob::kTemporaryStem + std::to_wstring(platform::processNumber());
  if (attempt > 0) name += L"-" + std::to_wstring(attempt);
  return path_rules::join(folder, name + L".tmp");
}

}  // namespace

void JoinJob::createPendingFile() {
  constexpr unsigned kAttempts = 100;
  const std::wstring fileName = path_rules::fileName(targetPath_);
  const std::lock_guard<std::mutex> lock(pendingMutex_);
  // The process is ending: nothing of this run is to stay behind.
  if (interrupted_) throw JobFailure(join_texts::kInterrupted, join_exit::kInterrupted);
  int error = EEXIST;
  for (unsigned attempt = 0; attempt < kAttempts && error == EEXIST; ++attempt)
    error = platform::createPendingFile(*heldFolder_, temporaryName(outputFolder_, attempt),
                                        fileName, firstPiecePermissions_, pending_);
  if (error != 0)
    throw JobFailure(join_texts::cannotWrite(targetPath_, platform::systemErrorText(error)));
  pendingOpen_ = true;
}

int JoinJob::rebuild() {
  createPendingFile();
  const std::wstring shown = pending_.temporaryPath.empty() ? targetPath_ : pending_.temporaryPath;
  const std::unique_ptr<FileIO_IF> out(new File_ptr(pending_.fd, shown, pending_.bypassSector));
  try {
    const int result = writeAndName(*out, shown);
    settlePendingFile();
    return result;
  } catch (...) {
    settlePendingFile();
    throw;
  }
}

int JoinJob::writeAndName(FileIO_IF& out, const std::wstring& shown) {
  const std::string digest = hashPieces(&out, shown);
  if (!expectedDigest_.empty() && digest != expectedDigest_) {
    printLine(join_texts::rebuiltDiffers(digestPath_));
    return join_exit::kDigestMismatch;
  }
  // On the medium before it has a name: a name never stands for bytes that
  // a pulled stick or a power cut could still take.
  transfer::requireFlushed(out, shown);
  int error = 0;
  {
    // The open file that was hashed gets the name, whatever took its
    // temporary name meanwhile. An interrupt waits for the name to be given,
    // and once it is, comes too late: the run finishes its flushes.
    const std::lock_guard<std::mutex> lock(pendingMutex_);
    // The process is ending with the interrupt's code, which says unnamed.
    if (interrupted_) return join_exit::kInterrupted;
    error = platform::namePendingFile(pending_, targetPath_);
    named_ = error == 0;
  }
  // A folder removed meanwhile took the rebuilt file with it, whatever the
  // naming found in its place.
  if (error != 0 && !heldFolder_->whereNow())
    throw JobFailure(join_texts::folderRemoved(outputFolder_));
  if (error == EEXIST) {
    printLine(join_texts::existsAlready(targetPath_));
    return join_exit::kOutputExists;
  }
  if (error == platform::kTemporaryNameTakenOver)
    throw JobFailure(join_texts::temporaryNameTakenOver(targetPath_, pending_.temporaryPath));
  if (error == platform::kNameHoldsAnotherFile)
    throw JobFailure(join_texts::nameHoldsAnotherFile(targetPath_));
  if (error != 0) {
    const std::wstring reason = platform::systemErrorText(error);
    throw JobFailure(pending_.temporaryPath.empty()
                         ? join_texts::cannotName(targetPath_, reason)
                         : join_texts::cannotRename(pending_.temporaryPath, targetPath_, reason));
  }
  // The name goes to the medium with the file where the file's own flush
  // writes it; the file keeps its name whatever that says.
  if (const int flushed = platform::flushName(pending_))
    transfer::failWrite(targetPath_, platform::systemErrorText(flushed));
  transfer::requireClosed(out, targetPath_);
  transfer::requireFolderFlushed(*heldFolder_);
  for (const std::wstring& folder : foldersAbove_) transfer::requireFolderFlushed(folder);
  if (expectedDigest_.empty()) {
    printLine(join_texts::rebuiltUnverified(whereNamed(), noDigestReason()));
    return join_exit::kUnverified;
  }
  printSuccess(join_texts::rebuiltAndMatches(whereNamed(), digestPath_));
  return join_exit::kSuccess;
}

std::wstring JoinJob::whereNamed() const {
  const std::optional<std::wstring> folder = heldFolder_->whereNow();
  if (!folder || *folder == heldFolder_->path()) return targetPath_;
  return path_rules::join(*folder, script_.target);  // the folder was moved meanwhile
}

void JoinJob::settlePendingFile() {
  const std::lock_guard<std::mutex> lock(pendingMutex_);
  releasePendingFile();
}

void JoinJob::releasePendingFile() {
  if (!pendingOpen_) return;
  pendingOpen_ = false;
  // What cannot be removed is told at the end of the run.
  (void)platform::releasePendingFile(pending_);
}

int JoinJob::interrupted() {
  const std::lock_guard<std::mutex> lock(pendingMutex_);
  if (named_) return platform::kInterruptTooLate;
  // The run's threads go on until the process ends, and fail once the file
  // is let go: no dot and no line of theirs after the interrupt's.
  const std::lock_guard<std::mutex> printing(transfer::consoleLock());
  if (progress_) progress_->silence();
  interrupted_ = true;
  releasePendingFile();
  writeLine(errors_, join_texts::kInterrupted);
  const std::wstring left = leftTemporaryLine();
  if (!left.empty()) writeLine(errors_, left);
  return join_exit::kInterrupted;
}

std::wstring JoinJob::leftTemporaryLine() const {
  const std::wstring& left =
      !pending_.temporaryPath.empty() ? pending_.temporaryPath : pending_.temporaryFolder;
  if (left.empty()) return L"";
  return join_texts::leftFromThisRun(left);
}

int JoinJob::verify() {
  const std::string digest = hashPieces(nullptr, L"");
  if (expectedDigest_.empty()) {
    printLine(join_texts::piecesUnverified(noDigestReason()));
    return join_exit::kUnverified;
  }
  if (digest != expectedDigest_) {
    printLine(join_texts::piecesDiffer(digestPath_));
    return join_exit::kDigestMismatch;
  }
  printSuccess(join_texts::piecesMatch(digestPath_));
  return join_exit::kSuccess;
}
