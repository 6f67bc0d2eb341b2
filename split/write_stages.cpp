// The stages that write: the rejoin script, the pieces with the digest
// computed on the way, and the digest file.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "common/job_failure.h"
#include "common/narrow_cast.h"
#include "fileio/file_ptr.h"
#include "fileio/file_system.h"
#include "hash/checked_digest.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "split/split_job.h"
#include "texts/split_texts.h"
#include "transfer/block_copy.h"

using transfer::requireClosed;
using transfer::requireFlushed;
using transfer::requireWritten;

namespace {

[[noreturn]] void failChanged(const std::wstring& input) {
  throw JobFailure(split_texts::inputChanged(input));
}

// Creates the text file `path` (it must not exist) and writes `text` into it,
// flushed to the medium and closed: the rejoin script and the digest file.
void writeTextFile(const std::wstring& path, const std::string& text) {
  const std::unique_ptr<FileIO_IF> file(new File_ptr(path.c_str(), kTextOutputMode));
  requireWritten(file->write(text.data(), narrow_cast<uint32_t>(text.size())), text.size(), path);
  requireFlushed(*file, path);
  requireClosed(*file, path);
}

}  // namespace

void SplitJob::keepInputPrivacy() {
  unsigned permissions = 0;
  if (const int error = platform::permissionsOf(inputPath_, permissions))
    throw std::filesystem::filesystem_error("status", platform::queryPath(inputPath_),
                                            std::error_code(error, std::generic_category()));
  platform::restrictNewFiles(permissions);
}

void SplitJob::writeRejoinScript() {
  // Written part by part as it is made: the script is never held whole.
  const std::unique_ptr<FileIO_IF> file(new File_ptr(scriptPath.c_str(), kTextOutputMode));
  makeRejoinScript([&](const std::string& part) {
    requireWritten(file->write(part.data(), narrow_cast<uint32_t>(part.size())), part.size(),
                   scriptPath);
  });
  requireFlushed(*file, scriptPath);
  requireClosed(*file, scriptPath);
}

void SplitJob::copyPieces(const wchar_t* input, uint64_t pieceSize) {
  const uint64_t inputSize = file_system::fileSize(input);
  transfer::Progress progress(console_, inputSize);
  // Started before the input is opened: a provider that cannot be had is
  // told before any piece is written.
  CheckedDigest digest(inputPath_);
  platform::OpenFileFacts facts;
  std::unique_ptr<FileIO_IF> in = openRegularInput(input, &facts);
  // No file by now (a FIFO in its place): told as the plan tells one.
  if (!in)
    throw std::filesystem::filesystem_error(
        "open", platform::queryPath(input),
        std::make_error_code(std::errc::operation_not_supported));
  platform::restrictNewFiles(facts.permissions);
  in->readMediumWhereUncached(transfer::kBlockSize);
  {
    transfer::BlockCopy blocks(progress, digest);  // its ring and threads serve every piece
    blocks.run([&] {
      for (uint64_t i = 0; i < pieces.size(); ++i) copyPiece(i, *in, pieceSize, blocks);
    });
  }
  if (!in->eof()) failChanged(input);  // it grew: bytes would be left out
  // Rewritten in place, even to the same size, or replaced: the pieces
  // would hold bytes of two files, under a digest that vouches for them.
  platform::OpenFileFacts now;
  if (const int error = in->describe(now)) transfer::failRead(inputPath_, error);
  if (!platform::unchangedSince(facts, now)) failChanged(input);
  in.reset();  // the input is closed before the digest file is created
  const std::string digestText = digest.finish();  // before the file exists: none for a failure
  // The pieces' and the created folders' entries are on the medium before
  // the digest file tells that the split is whole.
  transfer::requireFolderFlushed(*outputFolder_);
  for (const std::wstring& folder : foldersAbove_) transfer::requireFolderFlushed(folder);
  writeDigest(digestText);
  transfer::requireFolderFlushed(*outputFolder_);
}

void SplitJob::copyPiece(uint64_t index, FileIO_IF& in, uint64_t pieceSize,
                         transfer::BlockCopy& blocks) {
  const std::wstring path = pieces[index];
  const uint64_t expected = std::min(pieceSize, plannedSize_ - index * pieceSize);
  // Created in the writer's turn, after this call may have returned: one
  // piece open at a time, and the piece before flushed and closed while
  // this one's bytes are read. The path goes with it.
  transfer::Output piece{
      nullptr, [path] { return std::make_unique<File_ptr>(path.c_str(), kPieceMode); }, path};
  if (blocks.copy(in, inputPath_, pieceSize, std::move(piece), transfer::BlockCopy::AtEnd::flush) !=
      expected)
    failChanged(inputPath_);
  blocks.closeOutput();
}

void SplitJob::writeDigest(const std::string& text) { writeTextFile(digestPath, text); }
