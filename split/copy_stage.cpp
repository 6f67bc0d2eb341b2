// The stages that write: the rejoin script, the pieces with the digest
// computed on the way, and the digest file.
#include <algorithm>
#include <memory>

#include "common/job_failure.h"
#include "common/narrow_cast.h"
#include "fileio/file_ptr.h"
#include "fileio/file_system.h"
#include "hash/md5_cng.h"
#include "split/rejoin_script.h"
#include "split/split_job.h"
#include "transfer/block_copy.h"

using transfer::requireClosed;
using transfer::requireWritten;

namespace {

[[noreturn]] void failChanged(const std::wstring& input) {
  throw JobFailure(L"The input file changed during the split: \"" + input + L"\"");
}

}  // namespace

void SplitJob::writeRejoinScript(const wchar_t* input) {
  const std::string bytes = rejoinScriptBytes(input, pieces);
  const std::unique_ptr<FileIO_IF> file(new File_ptr(scriptPath.c_str(), kTextOutputMode));
  requireWritten(file->write(bytes.data(), narrow_cast<uint32_t>(bytes.size())), bytes.size(),
                 scriptPath);
  requireClosed(*file, scriptPath);
}

void SplitJob::copyPieces(const wchar_t* input, uint64_t pieceSize) {
  const uint64_t inputSize = file_system::fileSize(input);
  transfer::Progress progress(console_, inputSize);
  const std::unique_ptr<HASH_IF> hash(new MD5CNG);
  const bool hashReady = hash->init();
  std::unique_ptr<FileIO_IF> in(new File_ptr(input, kInputMode));
  for (size_t i = 0; i < pieces.size(); ++i)
    copyPiece(i, *in, hashReady ? hash.get() : nullptr, pieceSize, progress);
  if (!in->eof()) failChanged(input);  // it grew: bytes would be left out
  in.reset();                          // the input is closed before the digest file is created
  if (hashReady) writeDigest(*hash);
}

void SplitJob::copyPiece(size_t index, FileIO_IF& in, HASH_IF* hash, uint64_t pieceSize,
                         transfer::Progress& progress) {
  const std::wstring& path = pieces[index];
  const uint64_t expected = std::min(pieceSize, plannedSize_ - index * pieceSize);
  const std::unique_ptr<FileIO_IF> piece(new File_ptr(path.c_str(), kPieceMode));
  transfer::BlockCopy blocks(progress);
  if (blocks.copy(in, inputPath_, pieceSize, hash, piece.get(), path) != expected)
    failChanged(inputPath_);
  requireClosed(*piece, path);
}

void SplitJob::writeDigest(HASH_IF& hash) {
  hash.finalize();
  hash.close();
  const std::unique_ptr<FileIO_IF> file(new File_ptr(digestPath.c_str(), kTextOutputMode));
  char text[33] = {};
  hash.hexDigest(text, sizeof text);
  requireWritten(file->write(text, 32), 32, digestPath);
  requireClosed(*file, digestPath);
}
