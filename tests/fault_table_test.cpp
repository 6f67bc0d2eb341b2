// Every call a split of four pieces makes at the fault seam, failed one at a
// time, run in-process: the exit code, the exact output, the files left
// behind with their sizes, the input unchanged, and a run that ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "allocation_limit.h"
#include "in_process.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/to_wide.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "usage_text.h"

namespace fs = std::filesystem;
namespace hooks = platform_test_hooks;
using platform::FaultPoint;

namespace {

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kInputSize = 3 * kMiB + 5;
constexpr int64_t kScriptSize = 80;
constexpr int64_t kNone = -1;
constexpr uint64_t kFolder = UINT64_MAX;  // what listing() gives a folder
constexpr unsigned kCallBudget = 400;     // a clean run makes about 40 calls
constexpr int kNoUnicodeTranslation = 1113;
// NTSTATUS values, for the MD5 provider's calls.
constexpr int kStatusNotFound = static_cast<int32_t>(0xC0000225u);
constexpr int kStatusNoMemory = static_cast<int32_t>(0xC0000017u);
constexpr int kStatusInvalidHandle = static_cast<int32_t>(0xC0000008u);

using Files = std::map<std::string, uint64_t>;

// The input and the output folder holding the script of `scriptSize`
// (kNone: none), pieces of `pieceSizes` and a digest of `digestSize`.
Files left(std::vector<uint64_t> pieceSizes, int64_t digestSize = kNone,
           int64_t scriptSize = kScriptSize) {
  Files files{{"in.bin", kInputSize}, {"out", kFolder}};
  if (scriptSize != kNone) files["out/in.bat"] = static_cast<uint64_t>(scriptSize);
  for (size_t i = 0; i < pieceSizes.size(); ++i)
    files["out/in.bin_" + std::to_string(i + 1)] = pieceSizes[i];
  if (digestSize != kNone) files["out/in.md5"] = static_cast<uint64_t>(digestSize);
  return files;
}

const Files kInputOnly{{"in.bin", kInputSize}};
const Files kFolderOnly = left({}, kNone, kNone);
const std::vector<uint64_t> kAllPieces{kMiB, kMiB, kMiB, 5};
const Files kComplete = left(kAllPieces, 32);

// The full pieces before piece `number` and that piece with `bytes`.
std::vector<uint64_t> upTo(unsigned number, uint64_t bytes) {
  std::vector<uint64_t> sizes(number - 1, kMiB);
  sizes.push_back(bytes);
  return sizes;
}

// What the one line of a failure says.
enum class Says { nothing, text, cannotRead, cannotWrite, fileSystem, changed, noDigest };

struct Line {
  Says says = Says::nothing;
  std::string subject = "";  // the text, the path, the file-system operation, or the reason
  std::string path = "";     // for Says::fileSystem: the path it names
  int reason = 0;            // the errno it tells, when not the fault's own
};

struct FaultCase {
  std::string name;
  std::vector<hooks::Fault> faults;
  int exitCode;
  size_t dots;
  Line line;
  Files files;
  uint32_t providerDigestLength = 0;    // what the MD5 provider reports (0: its own)
  size_t refusedAllocation = SIZE_MAX;  // allocations this large or larger fail
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

hooks::Fault failing(FaultPoint point, unsigned call, int error) {
  return hooks::Fault{point, call, error, SIZE_MAX, {}};
}

hooks::Fault limited(FaultPoint point, unsigned call, size_t bytes) {
  return hooks::Fault{point, call, 0, bytes, {}};
}

hooks::Fault before(FaultPoint point, unsigned call, void (*change)()) {
  return hooks::Fault{point, call, 0, SIZE_MAX, change};
}

std::string pieceName(unsigned number) { return "out/in.bin_" + std::to_string(number); }

std::wstring widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The line for `line` when the fault's error is `error`.
std::wstring expectedLine(const Line& line, int error) {
  switch (line.says) {
    case Says::nothing:
      return L"";
    case Says::text:
      return widened(line.subject) + L"\n";
    case Says::cannotRead:
    case Says::cannotWrite:
      return (line.says == Says::cannotRead ? L"Cannot read \"" : L"Cannot write \"") +
             shownAsJoined(widened(line.subject)) + L"\": " + platform::systemErrorText(error) +
             L"\n";
    case Says::fileSystem: {
      const fs::filesystem_error failure(line.subject,
                                         platform::nativePath(shownAsJoined(widened(line.path))),
                                         std::error_code(error, std::generic_category()));
      return platform::filesystemErrorText(failure) + L"\n";
    }
    case Says::changed:
      return L"The input file changed during the split: \"in.bin\"\n";
    case Says::noDigest:
      return L"Cannot compute the digest of \"in.bin\": " + widened(line.subject) + L"\n";
  }
  return L"";
}

std::wstring expectedOutput(const FaultCase& c) {
  int error = c.line.reason;
  for (const auto& fault : c.faults)
    if (error == 0) error = fault.error;
  std::wstring out = L"File: in.bin\nDivide size: 1MB\nOutput Folder: out\nDividing.....\n" +
                     std::wstring(c.dots, L'.') + expectedLine(c.line, error);
  return c.exitCode == split_exit::kSuccess ? out : out + usageText();
}

// ---- The table --------------------------------------------------------------
// Calls of a clean run, in order. open: script, input, pieces 1 to 4,
// digest. read: one per piece. write: script, pieces 1 to 4, digest. close:
// script, pieces 1 to 4, input, digest. fileStatus: the input's existence,
// folder and emptiness tests, the output folder's existence test and the
// status inside the folder creation, then the output check's six existence
// tests, then the input's permissions. openFileFacts: what the opened input is. fileSize: the
// plan's, the copy stage's. folderCreation: one.

// A row whose fault the split rides out: it completes, printing `dots` dots.
FaultCase harmless(const std::string& name, const hooks::Fault& fault, size_t dots = 4) {
  return {name, {fault}, split_exit::kSuccess, dots, {}, kComplete};
}

void addOpenCases(std::vector<FaultCase>& cases) {
  cases.push_back({"OpenScriptDenied",
                   {failing(FaultPoint::open, 1, EACCES)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Permission denied."},
                   kFolderOnly});
  cases.push_back({"OpenInputMissing",
                   {failing(FaultPoint::open, 2, ENOENT)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Input File Not found."},
                   left({})});
  cases.push_back({"OpenInputDenied",
                   {failing(FaultPoint::open, 2, EACCES)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Permission denied."},
                   left({})});
  cases.push_back({"OpenPiece1Exists",
                   {failing(FaultPoint::open, 3, EEXIST)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Output File exist."},
                   left({})});
  const int otherErrors[] = {EMFILE, ENOSPC, EROFS};
  for (unsigned piece = 2; piece <= 4; ++piece) {
    const int error = otherErrors[piece - 2];
    cases.push_back({"OpenPiece" + std::to_string(piece) + "Errno" + std::to_string(error),
                     {failing(FaultPoint::open, piece + 2, error)},
                     split_exit::kFailed,
                     piece - 1,
                     {Says::text, "File open error." + std::to_string(error)},
                     left(std::vector<uint64_t>(piece - 1, kMiB))});
  }
  cases.push_back({"OpenDigestDenied",
                   {failing(FaultPoint::open, 7, EACCES)},
                   split_exit::kFailed,
                   4,
                   {Says::text, "Permission denied."},
                   left(kAllPieces)});
  cases.push_back(harmless("OpenInterruptedIsRetried", failing(FaultPoint::open, 3, EINTR)));
}

void addReadCases(std::vector<FaultCase>& cases) {
  for (unsigned call = 1; call <= 4; ++call)
    cases.push_back({"Read" + std::to_string(call) + "Fails",
                     {failing(FaultPoint::read, call, EIO)},
                     split_exit::kFailed,
                     call - 1,
                     {Says::cannotRead, "in.bin"},
                     left(upTo(call, 0))});
  cases.push_back(harmless("ReadInterruptedIsRetried", failing(FaultPoint::read, 2, EINTR)));
  // The short read is one more block, and one more dot.
  cases.push_back(harmless("ShortReadIsContinued", limited(FaultPoint::read, 1, 1000), 5));
  cases.push_back({"ReadEndsEarly",
                   {limited(FaultPoint::read, 2, 0)},
                   split_exit::kFailed,
                   1,
                   {Says::changed},
                   left(upTo(2, 0))});
}

void addWriteCases(std::vector<FaultCase>& cases) {
  cases.push_back({"WriteScriptFails",
                   {failing(FaultPoint::write, 1, ENOSPC)},
                   split_exit::kFailed,
                   0,
                   {Says::cannotWrite, "out/in.bat"},
                   left({}, kNone, 0)});
  for (unsigned piece = 1; piece <= 4; ++piece)
    cases.push_back({"WritePiece" + std::to_string(piece) + "Fails",
                     {failing(FaultPoint::write, piece + 1, ENOSPC)},
                     split_exit::kFailed,
                     piece,
                     {Says::cannotWrite, pieceName(piece)},
                     left(upTo(piece, 0))});
  cases.push_back({"WriteDigestFails",
                   {failing(FaultPoint::write, 6, EFBIG)},
                   split_exit::kFailed,
                   4,
                   {Says::cannotWrite, "out/in.md5"},
                   left(kAllPieces, 0)});
  cases.push_back(harmless("WriteInterruptedIsRetried", failing(FaultPoint::write, 2, EINTR)));
  cases.push_back(harmless("ShortWriteIsContinued", limited(FaultPoint::write, 2, 1000)));
  cases.push_back({"WriteWithoutProgress",
                   {limited(FaultPoint::write, 3, 0)},
                   split_exit::kFailed,
                   2,
                   {Says::cannotWrite, pieceName(2), "", EIO},
                   left(upTo(2, 0))});
}

// A failed close of an output is reported like a failed write: a network
// file system may only tell then that data was not stored. The input's close
// (the sixth) is ridden out: nothing was written to it.
void addCloseCases(std::vector<FaultCase>& cases) {
  cases.push_back({"CloseScriptFails",
                   {failing(FaultPoint::close, 1, EIO)},
                   split_exit::kFailed,
                   0,
                   {Says::cannotWrite, "out/in.bat"},
                   left({})});
  for (unsigned piece = 1; piece <= 4; ++piece)
    cases.push_back({"ClosePiece" + std::to_string(piece) + "Fails",
                     {failing(FaultPoint::close, piece + 1, EIO)},
                     split_exit::kFailed,
                     piece,
                     {Says::cannotWrite, pieceName(piece)},
                     left(upTo(piece, kAllPieces[piece - 1]))});
  cases.push_back(harmless("CloseInputFailsUnnoticed", failing(FaultPoint::close, 6, EIO)));
  cases.push_back({"CloseDigestFails",
                   {failing(FaultPoint::close, 7, EIO)},
                   split_exit::kFailed,
                   4,
                   {Says::cannotWrite, "out/in.md5"},
                   left(kAllPieces, 32)});
}

// Each output flushed to the medium before it is closed, and the folders
// before the digest file (out, then the current folder above the new out)
// and out again after it. A flush that fails is a failed write; only the
// write-back started after each block is a hint that may fail unnoticed.
void addFlushCases(std::vector<FaultCase>& cases) {
  cases.push_back({"FlushScriptFails",
                   {failing(FaultPoint::flush, 1, EIO)},
                   1,
                   0,
                   {Says::cannotWrite, "out/in.bat"},
                   left({})});
  for (unsigned piece = 1; piece <= 4; ++piece)
    cases.push_back({"FlushPiece" + std::to_string(piece) + "Fails",
                     {failing(FaultPoint::flush, piece + 1, ENOSPC)},
                     1,
                     piece,
                     {Says::cannotWrite, pieceName(piece)},
                     left(upTo(piece, kAllPieces[piece - 1]))});
  cases.push_back({"FlushDigestFails",
                   {failing(FaultPoint::flush, 6, EIO)},
                   1,
                   4,
                   {Says::cannotWrite, "out/in.md5"},
                   left(kAllPieces, 32)});
  const char* folders[] = {"out", "."};
  for (unsigned call = 1; call <= 2; ++call)
    cases.push_back({"FlushFolder" + std::to_string(call) + "Fails",
                     {failing(FaultPoint::folderFlush, call, EIO)},
                     1,
                     4,
                     {Says::cannotWrite, folders[call - 1]},
                     left(kAllPieces)});
  cases.push_back({"FlushFolderAfterTheDigestFails",
                   {failing(FaultPoint::folderFlush, 3, EIO)},
                   1,
                   4,
                   {Says::cannotWrite, "out"},
                   kComplete});
  for (unsigned block = 1; block <= 4; ++block)
    cases.push_back(harmless("WriteBack" + std::to_string(block) + "FailsUnnoticed",
                             failing(FaultPoint::writeBack, block, EIO)));
}

// A row whose failure the file-system library reports, for `operation` on
// `path`, before any dot.
FaultCase fileSystemCase(const std::string& name, FaultPoint point, unsigned call, int error,
                         int exitCode, const char* operation, const std::string& path,
                         const Files& files) {
  return {name, {failing(point, call, error)},       exitCode,
          0,    {Says::fileSystem, operation, path}, files};
}

void addFileSystemCases(std::vector<FaultCase>& cases) {
  const FaultPoint status = FaultPoint::fileStatus;
  const char* inputChecks[] = {"exists", "status", "is_empty"};
  for (unsigned call = 1; call <= 3; ++call)
    cases.push_back(fileSystemCase(std::string("InputCheck") + inputChecks[call - 1] + "Fails",
                                   status, call, EACCES, split_exit::kFailed, inputChecks[call - 1],
                                   "in.bin", kInputOnly));
  cases.push_back(fileSystemCase("FolderCheckFails", status, 4, EIO,
                                 split_exit::kOutputFolderFailed, "exists", "out", kInputOnly));
  cases.push_back(fileSystemCase("FolderStatusInCreationFails", status, 5, EIO,
                                 split_exit::kOutputFolderFailed, "create_directories", "out",
                                 kInputOnly));
  const std::string outputs[] = {pieceName(1), pieceName(2), pieceName(3),
                                 pieceName(4), "out/in.bat", "out/in.md5"};
  for (unsigned call = 6; call <= 11; ++call)
    cases.push_back(fileSystemCase("OutputCheck" + std::to_string(call - 5) + "Fails", status, call,
                                   EACCES, split_exit::kFailed, "exists", outputs[call - 6],
                                   kFolderOnly));
  cases.push_back(fileSystemCase("InputPermissionsQueryFails", status, 12, EACCES,
                                 split_exit::kFailed, "status", "in.bin", kFolderOnly));
  cases.push_back({"OpenedInputCannotBeTold",
                   {failing(FaultPoint::openFileFacts, 1, EIO)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "File open error.5"},
                   left({})});
  cases.push_back(fileSystemCase("PlanSizeQueryFails", FaultPoint::fileSize, 1, EIO,
                                 split_exit::kOutputFolderFailed, "file_size", "in.bin",
                                 kInputOnly));
  cases.push_back(fileSystemCase("CopySizeQueryFails", FaultPoint::fileSize, 2, EIO,
                                 split_exit::kFailed, "file_size", "in.bin", left({})));
  cases.push_back(fileSystemCase("FolderCreationFails", FaultPoint::folderCreation, 1, EACCES,
                                 split_exit::kOutputFolderFailed, "create_directories", "out",
                                 kInputOnly));
  // The check that the split fits goes ahead on what it cannot learn.
  cases.push_back(harmless("FreeSpaceQueryFails", failing(FaultPoint::freeSpace, 1, EIO)));
  cases.push_back(
      harmless("FileSystemTypeQueryFails", failing(FaultPoint::fileSystemType, 1, EACCES)));
}

// Changes made by "someone else" at the worst moment, the digest provider
// or memory missing, and a handler that cannot widen the text it is to print.
void addOtherCases(std::vector<FaultCase>& cases) {
  const Line exists{Says::text, "Output File exist."};
  Files theirs = kFolderOnly;
  theirs["out/in.bat"] = 6;
  cases.push_back({"ScriptCreatedByOthers",
                   {before(FaultPoint::open, 1, [] { writeFile(L"out/in.bat", "theirs"); })},
                   split_exit::kFailed,
                   0,
                   exists,
                   theirs});
  cases.push_back({"PieceCreatedByOthers",
                   {before(FaultPoint::open, 4, [] { writeFile(L"out/in.bin_2", "theirs"); })},
                   split_exit::kFailed,
                   1,
                   exists,
                   left({kMiB, 6})});
  cases.push_back({"DigestCreatedByOthers",
                   {before(FaultPoint::open, 7, [] { writeFile(L"out/in.md5", "theirs"); })},
                   split_exit::kFailed,
                   4,
                   exists,
                   left(kAllPieces, 6)});
  Files gone = left({});
  gone.erase("in.bin");
  cases.push_back({"InputGoneBeforeTheCopy",
                   {before(FaultPoint::open, 2, [] { fs::remove("in.bin"); })},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Input File Not found."},
                   gone});
  cases.push_back({"NoMemoryForTheCopyBuffer",
                   {},
                   split_exit::kFailed,
                   0,
                   {Says::text, "std::bad_alloc"},
                   left({0}),
                   0,
                   kMiB});
  const Line noDescription{Says::text, "An error occurred that carries no description."};
  cases.push_back({"UnforeseenFailureInTheCopy",
                   {before(FaultPoint::open, 2, [] { throw 42; })},
                   split_exit::kFailed,
                   0,
                   noDescription,
                   left({})});
  cases.push_back({"UnforeseenFailureInThePlan",
                   {before(FaultPoint::fileSize, 1, [] { throw 42; })},
                   split_exit::kFailed,
                   0,
                   noDescription,
                   kInputOnly});
  cases.push_back({"StandardExceptionInThePlan",
                   {before(FaultPoint::fileSize, 1,
                           [] { throw std::runtime_error("narrow_cast<>() failed"); })},
                   split_exit::kFailed,
                   0,
                   {Says::text, "narrow_cast<>() failed"},
                   kInputOnly});
  cases.push_back({"HandlerCannotWidenItsText",
                   {failing(FaultPoint::open, 1, EACCES),
                    failing(FaultPoint::textConversion, 0, kNoUnicodeTranslation)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "An error occurred, and its description could not be shown."},
                   kFolderOnly});
  cases.push_back({"PlanHandlerCannotWidenItsText",
                   {failing(FaultPoint::fileSize, 1, EIO),
                    failing(FaultPoint::textConversion, 0, kNoUnicodeTranslation)},
                   split_exit::kOutputFolderFailed,
                   0,
                   {Says::text, "An error occurred, and its description could not be shown."},
                   kInputOnly});
}

void resizeInput(uint64_t size) { fs::resize_file("in.bin", size); }

// The input shorter or longer when opened than when the plan measured it.
void addChangedInputCases(std::vector<FaultCase>& cases) {
  const auto changedTo = [](uint64_t size, std::vector<uint64_t> pieces) {
    Files files = left(std::move(pieces));
    files["in.bin"] = size;
    return files;
  };
  cases.push_back({"InputShorterAtAPieceEnd",
                   {before(FaultPoint::open, 2, [] { resizeInput(2 * kMiB); })},
                   split_exit::kFailed,
                   2,
                   {Says::changed},
                   changedTo(2 * kMiB, upTo(3, 0))});
  cases.push_back({"InputShorterInsideAPiece",
                   {before(FaultPoint::open, 2, [] { resizeInput(2 * kMiB + 100); })},
                   split_exit::kFailed,
                   3,
                   {Says::changed},
                   changedTo(2 * kMiB + 100, upTo(3, 100))});
  cases.push_back({"InputLongerInTheLastPiece",
                   {before(FaultPoint::open, 2, [] { resizeInput(kInputSize + 10); })},
                   split_exit::kFailed,
                   4,
                   {Says::changed},
                   changedTo(kInputSize + 10, upTo(4, 15))});
  cases.push_back({"InputLongerByAPiece",
                   {before(FaultPoint::open, 2, [] { resizeInput(kInputSize + kMiB); })},
                   split_exit::kFailed,
                   4,
                   {Says::changed},
                   changedTo(kInputSize + kMiB, upTo(4, kMiB))});
  // Measured as an exact multiple of the piece size and grown before it is
  // opened: every piece comes out full, and only the input's end tells that
  // bytes were left out.
  Files grown = left({kMiB, kMiB, kMiB}, kNone, 67);
  grown["in.bin"] = 3 * kMiB + 7;
  cases.push_back({"ExactMultipleGrownBeforeTheCopy",
                   {before(FaultPoint::fileSize, 1, [] { resizeInput(3 * kMiB); }),
                    before(FaultPoint::open, 2, [] { resizeInput(3 * kMiB + 7); })},
                   split_exit::kFailed,
                   3,
                   {Says::changed},
                   grown});
}

// Every call of the MD5 provider failing, and a provider whose digest is not
// MD5's length: the run ends with the reason, no digest file is written, and
// a provider that cannot be had is told before any piece is written.
void addDigestCases(std::vector<FaultCase>& cases) {
  const auto says = [](const std::string& reason) { return Line{Says::noDigest, reason}; };
  const std::string noMemory = " (status 0xC0000017)";
  cases.push_back({"ProviderOpenFails",
                   {failing(FaultPoint::providerOpen, 1, kStatusNotFound)},
                   split_exit::kFailed,
                   0,
                   says("the MD5 provider is not available (status 0xC0000225)"),
                   left({})});
  cases.push_back({"ObjectLengthQueryFails",
                   {failing(FaultPoint::providerProperty, 1, kStatusNoMemory)},
                   split_exit::kFailed,
                   0,
                   says("the MD5 provider did not tell the size of its hash object" + noMemory),
                   left({})});
  cases.push_back({"DigestLengthQueryFails",
                   {failing(FaultPoint::providerProperty, 2, kStatusNoMemory)},
                   split_exit::kFailed,
                   0,
                   says("the MD5 provider did not tell its digest length" + noMemory),
                   left({})});
  FaultCase otherLength{"ProviderReportsAnotherDigestLength",
                        {},
                        split_exit::kFailed,
                        0,
                        says("the MD5 provider reports a digest of 20 bytes, not 16"),
                        left({})};
  otherLength.providerDigestLength = 20;
  cases.push_back(otherLength);
  cases.push_back({"HashCreationFails",
                   {failing(FaultPoint::hashCreation, 1, kStatusNoMemory)},
                   split_exit::kFailed,
                   0,
                   says("the hash could not be created" + noMemory),
                   left({})});
  // A block reaches the hash before its piece: that piece stays empty.
  for (unsigned block = 1; block <= 4; ++block)
    cases.push_back({"HashingBlock" + std::to_string(block) + "Fails",
                     {failing(FaultPoint::hashData, block, kStatusNoMemory)},
                     split_exit::kFailed,
                     block,
                     says("a block could not be hashed" + noMemory),
                     left(upTo(block, 0))});
  cases.push_back({"HashFinishFails",
                   {failing(FaultPoint::hashFinish, 1, kStatusNoMemory)},
                   split_exit::kFailed,
                   4,
                   says("the hash could not be finished" + noMemory),
                   left(kAllPieces)});
  cases.push_back({"HashReleaseFails",
                   {failing(FaultPoint::hashDestruction, 1, kStatusInvalidHandle)},
                   split_exit::kFailed,
                   4,
                   says("the hash could not be released (status 0xC0000008)"),
                   left(kAllPieces)});
  cases.push_back({"ProviderReleaseFails",
                   {failing(FaultPoint::providerClose, 1, kStatusInvalidHandle)},
                   split_exit::kFailed,
                   4,
                   says("the MD5 provider could not be released (status 0xC0000008)"),
                   left(kAllPieces)});
  // The first failure is the one told.
  cases.push_back({"HashFinishAndReleaseFail",
                   {failing(FaultPoint::hashFinish, 1, kStatusNoMemory),
                    failing(FaultPoint::hashDestruction, 1, kStatusInvalidHandle)},
                   split_exit::kFailed,
                   4,
                   says("the hash could not be finished" + noMemory),
                   left(kAllPieces)});
  // A planned errno is no failure status; the seam makes it one.
  cases.push_back({"ProviderOpenFailsWithAnErrno",
                   {failing(FaultPoint::providerOpen, 1, EIO)},
                   split_exit::kFailed,
                   0,
                   says("the MD5 provider is not available (status 0xC0000001)"),
                   left({})});
}

std::vector<FaultCase> faultCases() {
  std::vector<FaultCase> cases;
  addOpenCases(cases);
  addReadCases(cases);
  addWriteCases(cases);
  addCloseCases(cases);
  addFlushCases(cases);
  addFileSystemCases(cases);
  addOtherCases(cases);
  addDigestCases(cases);
  addChangedInputCases(cases);
  return cases;
}

// ---- The runs ---------------------------------------------------------------

class FaultTableTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override {
    input = patternBytes(kInputSize, 9);
    writeFile(dir / L"in.bin", input);
    hooks::resetFaults();
  }
  void TearDown() override {
    hooks::resetFaults();
    hooks::fakeDigestLength(0);
  }
  InProcessRun split() {
    const CurrentFolder inside(dir.wide());
    return runInProcess({L"in.bin", L"1", L"out"});
  }
  TempDir dir;
  std::string input;
};

TEST_P(FaultTableTest, EndsAsPlanned) {
  const FaultCase& c = GetParam();
  for (const auto& fault : c.faults)
    if (!hooks::injectFault(fault)) GTEST_SKIP() << "no fault injection in this build";
  if (c.providerDigestLength != 0 && !hooks::fakeDigestLength(c.providerDigestLength))
    GTEST_SKIP() << "provider not fakeable";
  hooks::setCallBudget(kCallBudget);
  const InProcessRun run = [&] {
    const AllocationLimit memory(c.refusedAllocation);
    return split();
  }();
  EXPECT_FALSE(hooks::callBudgetExceeded()) << "the run did not end by itself";
  EXPECT_EQ(run.exitCode, c.exitCode);
  EXPECT_EQ(run.out, expectedOutput(c));
  EXPECT_EQ(listing(dir.wide()), c.files);
  if (c.files.count("in.bin") != 0 && c.files.at("in.bin") == kInputSize) {
    EXPECT_TRUE(readFile(dir / L"in.bin") == input) << "the input was changed";
  }
  if (c.files.count("out/in.bin_1") != 0) {
    const std::string start = input.substr(0, c.files.at("out/in.bin_1"));
    EXPECT_TRUE(readFile(dir / L"out/in.bin_1") == start) << "piece 1 is not the input's start";
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTableTest, ::testing::ValuesIn(faultCases()),
                         [](const auto& info) { return info.param.name; });

// The table above must name every call of a clean run with a failure.
TEST_F(FaultTableTest, CoversEveryCallOfACleanRun) {
  if (!hooks::injectFault(failing(FaultPoint::textConversion, 1000, 0)))
    GTEST_SKIP() << "no fault injection in this build";
  ASSERT_EQ(split().exitCode, split_exit::kSuccess);
  const auto cases = faultCases();
  for (const FaultPoint point : {FaultPoint::open,
                                 FaultPoint::read,
                                 FaultPoint::write,
                                 FaultPoint::close,
                                 FaultPoint::fileStatus,
                                 FaultPoint::fileSize,
                                 FaultPoint::folderCreation,
                                 FaultPoint::providerOpen,
                                 FaultPoint::providerProperty,
                                 FaultPoint::hashCreation,
                                 FaultPoint::hashData,
                                 FaultPoint::hashFinish,
                                 FaultPoint::hashDestruction,
                                 FaultPoint::providerClose,
                                 FaultPoint::freeSpace,
                                 FaultPoint::fileSystemType,
                                 FaultPoint::openFileFacts,
                                 FaultPoint::flush,
                                 FaultPoint::writeBack,
                                 FaultPoint::folderFlush}) {
    const unsigned calls = hooks::faultCalls(point);
    EXPECT_GT(calls, 0u);
    for (unsigned call = 1; call <= calls; ++call) {
      const bool covered = std::any_of(cases.begin(), cases.end(), [&](const FaultCase& c) {
        return c.faults.size() == 1 && c.faults[0].point == point && c.faults[0].call == call &&
               c.faults[0].error != 0 && c.faults[0].error != EINTR;
      });
      EXPECT_TRUE(covered) << "call " << call << " at point " << static_cast<int>(point);
    }
  }
}

}  // namespace
