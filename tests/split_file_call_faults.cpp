// The split's fault rows for the files' own calls: open, read, write, close
// and the flushes to the medium.
#include <cerrno>
#include <filesystem>

#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "split_fault_rows.h"

namespace split_fault_rows {
namespace {

void addOpenCases(std::vector<FaultCase>& cases) {
  cases.push_back({"OpenScriptDenied",
                   {failing(FaultPoint::open, "script", EACCES)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Permission denied."},
                   kFolderOnly});
  cases.push_back({"OpenInputMissing",
                   {failing(FaultPoint::open, "input", ENOENT)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Input File Not found."},
                   left({})});
  cases.push_back({"OpenInputDenied",
                   {failing(FaultPoint::open, "input", EACCES)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Permission denied."},
                   left({})});
  cases.push_back({"OpenPiece1Exists",
                   {failing(FaultPoint::open, piece(1), EEXIST)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Output File exist."},
                   left({})});
  const int otherErrors[] = {EMFILE, ENOSPC, EROFS};
  for (unsigned number = 2; number <= 4; ++number) {
    const int error = otherErrors[number - 2];
    cases.push_back({"OpenPiece" + std::to_string(number) + "Errno" + std::to_string(error),
                     {failing(FaultPoint::open, piece(number), error)},
                     split_exit::kFailed,
                     number - 1,
                     {Says::text, "File open error." + std::to_string(error)},
                     left(std::vector<uint64_t>(number - 1, kMiB))});
  }
  cases.push_back({"OpenDigestDenied",
                   {failing(FaultPoint::open, "digest", EACCES)},
                   split_exit::kFailed,
                   4,
                   {Says::text, "Permission denied."},
                   left(kAllPieces)});
  cases.push_back(harmless("OpenInterruptedIsRetried", failing(FaultPoint::open, piece(1), EINTR)));
}

void addReadCases(std::vector<FaultCase>& cases) {
  for (unsigned number = 1; number <= 4; ++number)
    cases.push_back({"Read" + std::to_string(number) + "Fails",
                     {failing(FaultPoint::read, block(number), EIO)},
                     split_exit::kFailed,
                     number - 1,
                     {Says::cannotRead, "in.bin"},
                     left(upTo(number, 0))});
  cases.push_back(harmless("ReadInterruptedIsRetried", failing(FaultPoint::read, block(2), EINTR)));
  // Without the answer whether the cache holds a block, it is read through it.
  cases.push_back(
      harmless("CacheQueryFailsForEveryBlock", failingEvery(FaultPoint::cacheQuery, EIO)));
  // The short read is one more block, and one more dot.
  cases.push_back(harmless("ShortReadIsContinued", limited(FaultPoint::read, block(1), 1000), 5));
  cases.push_back({"ReadEndsEarly",
                   {limited(FaultPoint::read, block(2), 0)},
                   split_exit::kFailed,
                   1,
                   {Says::changed},
                   left(upTo(2, 0))});
}

void addWriteCases(std::vector<FaultCase>& cases) {
  cases.push_back({"WriteScriptFails",
                   {failing(FaultPoint::write, "script", ENOSPC)},
                   split_exit::kFailed,
                   0,
                   {Says::cannotWrite, "out/in.bat"},
                   left({}, kNone, 0)});
  for (unsigned number = 1; number <= 4; ++number)
    cases.push_back({"WritePiece" + std::to_string(number) + "Fails",
                     {failing(FaultPoint::write, piece(number), ENOSPC)},
                     split_exit::kFailed,
                     number,
                     {Says::cannotWrite, pieceName(number)},
                     left(upTo(number, 0))});
  cases.push_back({"WriteDigestFails",
                   {failing(FaultPoint::write, "digest", EFBIG)},
                   split_exit::kFailed,
                   4,
                   {Says::cannotWrite, "out/in.md5"},
                   left(kAllPieces, 0)});
  // A write the system failed with a device's error (ERROR_WRITE_FAULT),
  // which the runtime tells as EACCES, is an input/output error; a system
  // error left by an earlier call names no later failure.
  constexpr unsigned long kWriteFault = 29;
  cases.push_back({"WritePiece2FailsWithTheDevicesError",
                   {hooks::Fault{FaultPoint::write, callAt(FaultPoint::write, piece(2)), EACCES,
                                 SIZE_MAX, [] { leaveSystemError(kWriteFault); }}},
                   split_exit::kFailed,
                   2,
                   {Says::cannotWrite, pieceName(2), "", windowsPlatform() ? EIO : EACCES},
                   left(upTo(2, 0))});
  cases.push_back({"WritePiece3FailsAfterASystemErrorLeftBefore",
                   {before(FaultPoint::write, piece(2), [] { leaveSystemError(kWriteFault); }),
                    failing(FaultPoint::write, piece(3), ENOSPC)},
                   split_exit::kFailed,
                   3,
                   {Says::cannotWrite, pieceName(3)},
                   left(upTo(3, 0))});
  cases.push_back(
      harmless("WriteInterruptedIsRetried", failing(FaultPoint::write, piece(1), EINTR)));
  cases.push_back(harmless("ShortWriteIsContinued", limited(FaultPoint::write, piece(1), 1000)));
  cases.push_back({"WriteWithoutProgress",
                   {limited(FaultPoint::write, piece(2), 0)},
                   split_exit::kFailed,
                   2,
                   {Says::cannotWrite, pieceName(2), "", EIO},
                   left(upTo(2, 0))});
}

// A failed close of an output is reported like a failed write: a network
// file system may only tell then that data was not stored; so is a failed
// flush to the medium, before the close. The input's close is ridden out:
// nothing was written to it.
void addCloseAndFlushCases(std::vector<FaultCase>& cases) {
  struct Step {
    const char* name;
    FaultPoint point;
    int pieceError;
  };
  for (const Step step :
       {Step{"Close", FaultPoint::close, EIO}, Step{"Flush", FaultPoint::flush, ENOSPC}}) {
    const std::string name = step.name;
    cases.push_back({name + "ScriptFails",
                     {failing(step.point, "script", EIO)},
                     split_exit::kFailed,
                     0,
                     {Says::cannotWrite, "out/in.bat"},
                     left({})});
    for (unsigned number = 1; number <= 4; ++number)
      cases.push_back({name + "Piece" + std::to_string(number) + "Fails",
                       {failing(step.point, piece(number), step.pieceError)},
                       split_exit::kFailed,
                       number,
                       {Says::cannotWrite, pieceName(number)},
                       left(upTo(number, kAllPieces[number - 1]))});
    cases.push_back({name + "DigestFails",
                     {failing(step.point, "digest", EIO)},
                     split_exit::kFailed,
                     4,
                     {Says::cannotWrite, "out/in.md5"},
                     left(kAllPieces, 32)});
  }
  cases.push_back(harmless("CloseInputFailsUnnoticed", failing(FaultPoint::close, "input", EIO)));
}

// The folders flushed around the digest file.
void addFolderFlushCases(std::vector<FaultCase>& cases) {
  cases.push_back({"FlushFolder1Fails",
                   {failing(FaultPoint::folderFlush, "out", EIO)},
                   split_exit::kFailed,
                   4,
                   {Says::cannotWrite, "out"},
                   left(kAllPieces)});
  cases.push_back({"FlushFolder2Fails",
                   {failing(FaultPoint::folderFlush, "out's parent", EIO)},
                   split_exit::kFailed,
                   4,
                   {Says::cannotWrite, "."},
                   left(kAllPieces)});
  // An output folder that exists already is flushed before the digest too.
  cases.push_back({"FlushExistingFolderFails",
                   {before(FaultPoint::fileStatus, "out exists",
                           [] { std::filesystem::create_directory("out"); }),
                    failing(FaultPoint::folderFlush, "out", EIO)},
                   split_exit::kFailed,
                   4,
                   {Says::cannotWrite, "out"},
                   left(kAllPieces)});
  cases.push_back({"FlushFolderAfterTheDigestFails",
                   {failing(FaultPoint::folderFlush, "out again", EIO)},
                   split_exit::kFailed,
                   4,
                   {Says::cannotWrite, "out"},
                   kComplete});
}

// A piece whose file system refuses writes past the cache is written through
// it, its write-back started after each block, whose failure no flush after
// it would report again. Turning those writes off for the rest of a piece
// that fills no sector fails as a write.
void addPastTheCacheCases(std::vector<FaultCase>& cases) {
  for (unsigned number = 1; number <= 4 && piecesPastTheCache(); ++number)
    cases.push_back(harmless("PastTheCacheRefusedForPiece" + std::to_string(number),
                             failing(FaultPoint::mediumWrites, piece(number), EINVAL)));
  for (unsigned number = 1; number <= 4; ++number)
    cases.push_back({"WriteBack" + std::to_string(number) + "FailsPastTheCacheRefused",
                     {failingEvery(FaultPoint::mediumWrites, EINVAL),
                      hooks::Fault{FaultPoint::writeBack, number, EIO, SIZE_MAX, {}}},
                     split_exit::kFailed,
                     number,
                     {Says::cannotWrite, pieceName(number), "", EIO},
                     left(upTo(number, kAllPieces[number - 1]))});
  if (!piecesPastTheCache()) return;
  cases.push_back({"PastTheCacheNotEndedForTheLastPiece",
                   {failing(FaultPoint::mediumWrites, "piece 4 tail", EIO)},
                   split_exit::kFailed,
                   4,
                   {Says::cannotWrite, pieceName(4)},
                   left(upTo(4, 0))});
}

}  // namespace

void addFileCallCases(std::vector<FaultCase>& cases) {
  addOpenCases(cases);
  addReadCases(cases);
  addWriteCases(cases);
  addCloseAndFlushCases(cases);
  addFolderFlushCases(cases);
  addPastTheCacheCases(cases);
}

}  // namespace split_fault_rows
