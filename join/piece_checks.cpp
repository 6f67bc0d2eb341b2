// What a join checks before it writes: every piece, and the output folder
// and the final name.
#include <cerrno>
#include <filesystem>
#include <memory>

#include "common/job_failure.h"
#include "fileio/file_ptr.h"
#include "fileio/file_system.h"
#include "fileio/my_file_error.h"
#include "join/join_exit_codes.h"
#include "join/join_job.h"
#include "platform/output_file.h"
#include "platform/to_wide.h"
#include "script/path_rules.h"
#include "texts/join_texts.h"
#include "transfer/fit_check.h"

int JoinJob::checkPieces() {
  int result = join_exit::kSuccess;
  uint64_t index = 0;
  // The size most pieces but the last share, found in one pass by majority
  // vote: a piece grown or cut is then the one named, not its neighbours.
  uint64_t candidate = 0;
  uint64_t votes = 0;
  bool sizesDiffer = false;
  std::wstring lastPath;
  forEachPiece([&](const std::wstring& path) {
    uint64_t size = 0;
    result = checkPiece(path, index == 0, size);
    if (result != join_exit::kSuccess) return false;
    total_ += size;
    if (++index < script_.pieceCount) {
      if (index > 1 && size != candidate) sizesDiffer = true;
      if (votes == 0) candidate = size;
      votes += size == candidate ? 1 : -1;
    } else {
      lastSize_ = size;
      lastPath = path;
    }
    return true;
  });
  if (result != join_exit::kSuccess) return result;
  fullSize_ = script_.pieceCount == 1 ? lastSize_ : candidate;
  // Only when they differ, a second pass names the first that differs.
  index = 0;
  if (sizesDiffer)
    forEachPiece([&](const std::wstring& path) {
      if (++index == script_.pieceCount) return false;
      const uint64_t size = file_system::fileSize(path);
      if (size == fullSize_) return true;
      printLine(join_texts::pieceSizeWrong(path, number(size), number(fullSize_)));
      result = join_exit::kPieceSizeWrong;
      return false;
    });
  if (result != join_exit::kSuccess) return result;
  if (lastSize_ == 0) {
    printLine(join_texts::pieceEmpty(lastPath));
    return join_exit::kPieceSizeWrong;
  }
  if (lastSize_ > fullSize_) {
    printLine(join_texts::lastPieceTooLarge(lastPath, number(lastSize_), number(fullSize_)));
    return join_exit::kPieceSizeWrong;
  }
  return join_exit::kSuccess;
}

int JoinJob::checkPiece(const std::wstring& path, bool first, uint64_t& size) {
  // A link is not followed: it could lead out of the pieces' folder.
  bool link = false;
  if (const int error = platform::isLink(path, link)) {
    printLine(join_texts::cannotRead(path, platform::systemErrorText(error)));
    return join_exit::kFailed;
  }
  if (link) {
    printLine(join_texts::pieceNotAFile(path));
    return join_exit::kPieceMissing;
  }
  // A query that fails (a link loop, say) counts the piece as missing.
  const int found = toldInWords(join_exit::kPieceMissing, [&] {
    if (!file_system::exists(path)) {
      printLine(join_texts::pieceMissing(path));
      return join_exit::kPieceMissing;
    }
    // A folder is told by its name: on Windows it cannot be opened as a file.
    if (file_system::isDirectory(path)) {
      printLine(join_texts::pieceNotAFile(path));
      return join_exit::kPieceMissing;
    }
    return join_exit::kSuccess;
  });
  if (found != join_exit::kSuccess) return found;
  // Opened, not only measured: a piece that cannot be read is told before
  // anything is written.
  platform::OpenFileFacts facts;
  try {
    if (!openRegularInput(path, &facts, kPieceReadMode)) {
      printLine(join_texts::pieceNotAFile(path));
      return join_exit::kPieceMissing;
    }
  } catch (const MyFileError& error) {
    printLine(cannotRead(path, error));
    return join_exit::kFailed;
  }
  if (first) firstPiecePermissions_ = facts.permissions;
  size = facts.size;
  return join_exit::kSuccess;
}

int JoinJob::prepareOutput(const std::wstring& outputFolder) {
  outputFolder_ = outputFolder.empty() ? folder_ : outputFolder;
  const int made = toldInWords(
      join_exit::kOutputFolderFailed,
      [&] {
        if (!outputFolder_.empty() &&
            (!file_system::exists(outputFolder_) || !file_system::isDirectory(outputFolder_))) {
          foldersAbove_ = file_system::createFolders(outputFolder_);
          foldersAbove_.erase(foldersAbove_.begin());  // the output folder itself
        }
        heldFolder_ = std::make_unique<platform::OutputFolder>(outputFolder_);
        return join_exit::kSuccess;
      },
      join_texts::theOutputFolder(outputFolder_));
  if (made != join_exit::kSuccess) return made;
  targetPath_ = path_rules::join(outputFolder_, script_.target);
  // The name itself: a link there, even one leading nowhere, is taken.
  bool taken = false;
  if (const int error = platform::nameTaken(targetPath_, taken))
    throw JobFailure(join_texts::cannotCheck(targetPath_, platform::systemErrorText(error)));
  if (taken) {
    printLine(join_texts::existsAlready(targetPath_));
    return join_exit::kOutputExists;
  }
  transfer::PlannedWrite write;
  write.bytes = total_;
  write.job = join_texts::kWhatNeedsSpace;
  write.files = {{total_, join_texts::kWhatMayNotFit, L""}};
  if (!transfer::fitsIn(errors_, outputFolder_, write)) return join_exit::kFailed;
  return join_exit::kSuccess;
}
