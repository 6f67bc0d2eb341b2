// The stages that write: the rejoin script, the pieces with the digest
// computed on the way, and the digest file.
#include <algorithm>
#include <cerrno>
#include <memory>

#include "common/job_failure.h"
#include "common/narrow_cast.h"
#include "fileio/file_ptr.h"
#include "fileio/file_system.h"
#include "hash/checked_digest.h"
#include "platform/platform.h"
#include "split/split_job.h"

namespace {

constexpr uint32_t kBlockSize = 1048576;

// Ends the split: `path` could not be written, for `reason`.
[[noreturn]] void failWrite(const std::wstring& path, const std::wstring& reason) {
  throw JobFailure(L"Cannot write \"" + path + L"\": " + reason);
}

// Ends the split when `written` of `wanted` bytes reached `path`.
void requireWritten(int written, size_t wanted, const std::wstring& path) {
  if (written >= 0 && static_cast<size_t>(written) == wanted) return;
  const std::wstring reason = written < 0 ? platform::systemErrorText(errno)
                                          : L"only " + std::to_wstring(written) + L" of " +
                                                std::to_wstring(wanted) + L" bytes were written";
  failWrite(path, reason);
}

// Ends the split when closing `file` reports that `path` was not stored
// whole, as a network file system may only tell then.
void requireClosed(FileIO_IF& file, const std::wstring& path) {
  if (!file.close()) failWrite(path, platform::systemErrorText(errno));
}

[[noreturn]] void failChanged(const std::wstring& input) {
  throw JobFailure(L"The input file changed during the split: \"" + input + L"\"");
}

}  // namespace

void SplitJob::writeRejoinScript(const std::string& bytes) {
  const std::unique_ptr<FileIO_IF> file(new File_ptr(scriptPath.c_str(), kTextOutputMode));
  requireWritten(file->write(bytes.data(), narrow_cast<uint32_t>(bytes.size())), bytes.size(),
                 scriptPath);
  requireClosed(*file, scriptPath);
}

void SplitJob::copyPieces(const wchar_t* input, uint64_t pieceSize) {
  const uint64_t inputSize = file_system::fileSize(input);
  bytesProcessed = 0;
  // Started before the input is opened: a provider that cannot be had is
  // told before any piece is written.
  CheckedDigest digest(inputPath_);
  std::unique_ptr<FileIO_IF> in(new File_ptr(input, kInputMode));
  dotStep_ = inputSize / 50;
  nextDot_ = 0;
  for (size_t i = 0; i < pieces.size(); ++i) copyPiece(i, *in, digest, pieceSize);
  if (!in->eof()) failChanged(input);  // it grew: bytes would be left out
  in.reset();                          // the input is closed before the digest file is created
  writeDigest(digest.finish());        // finished before the file exists: none for a failure
}

void SplitJob::copyPiece(size_t index, FileIO_IF& in, CheckedDigest& digest, uint64_t pieceSize) {
  const std::wstring& path = pieces[index];
  const uint64_t expected = std::min(pieceSize, plannedSize_ - index * pieceSize);
  uint64_t pieceWritten = 0;
  const std::unique_ptr<FileIO_IF> piece(new File_ptr(path.c_str(), kPieceMode));
  const std::unique_ptr<unsigned char[]> copyBuffer(new unsigned char[kBlockSize]());
  while (!in.eof() && pieceWritten < pieceSize) {
    const auto length =
        narrow_cast<uint32_t>(std::min<uint64_t>(kBlockSize, pieceSize - pieceWritten));
    const int n = in.read(copyBuffer.get(), length);
    if (n < 0)
      throw JobFailure(L"Cannot read \"" + inputPath_ + L"\": " + platform::systemErrorText(errno));
    if (n == 0) break;  // ended early; told below
    bytesProcessed += static_cast<uint64_t>(n);
    showProgress();
    digest.add(copyBuffer.get(), static_cast<uint32_t>(n));
    requireWritten(piece->write(copyBuffer.get(), static_cast<uint32_t>(n)), static_cast<size_t>(n),
                   path);
    pieceWritten += static_cast<uint64_t>(n);
  }
  if (pieceWritten != expected) failChanged(inputPath_);
  requireClosed(*piece, path);
}

void SplitJob::showProgress() {
  if (nextDot_ >= bytesProcessed) return;
  nextDot_ += dotStep_;
  console_ << L'.' << std::flush;
}

void SplitJob::writeDigest(const std::string& text) {
  const std::unique_ptr<FileIO_IF> file(new File_ptr(digestPath.c_str(), kTextOutputMode));
  requireWritten(file->write(text.data(), narrow_cast<uint32_t>(text.size())), text.size(),
                 digestPath);
  requireClosed(*file, digestPath);
}
