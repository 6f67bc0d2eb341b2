// The split's fault rows for its queries: the file-system library's, the
// free space and file-system type, the MD5 provider's calls, memory, and the
// text conversion of the line it prints.
#include <cerrno>
#include <iterator>
#include <utility>

#include "split/split_exit_codes.h"
#include "split_fault_rows.h"

namespace split_fault_rows {
namespace {

// A row whose failure the file-system library reports, for `operation` on
// `path`, before any dot.
FaultCase fileSystemCase(const std::string& name, FaultPoint point, const std::string& what,
                         int error, int exitCode, const char* operation, const std::string& path,
                         const Files& files) {
  return {name, {failing(point, what, error)},       exitCode,
          0,    {Says::fileSystem, operation, path}, files};
}

void addFileSystemCases(std::vector<FaultCase>& cases) {
  const FaultPoint status = FaultPoint::fileStatus;
  for (const char* check : {"exists", "status", "is_empty"})
    cases.push_back(fileSystemCase(std::string("InputCheck") + check + "Fails", status,
                                   std::string("input ") + check, EACCES, split_exit::kFailed,
                                   check, "in.bin", kInputOnly));
  cases.push_back(fileSystemCase("FolderCheckFails", status, "out exists", EIO,
                                 split_exit::kOutputFolderFailed, "exists", "out", kInputOnly));
  cases.push_back(fileSystemCase("FolderStatusInCreationFails", status, "out in creation", EIO,
                                 split_exit::kOutputFolderFailed, "create_directories", "out",
                                 kInputOnly));
  const std::pair<std::string, std::string> outputs[] = {
      {piece(1), pieceName(1)}, {piece(2), pieceName(2)}, {piece(3), pieceName(3)},
      {piece(4), pieceName(4)}, {"script", "out/in.bat"}, {"digest", "out/in.md5"}};
  for (size_t i = 0; i < std::size(outputs); ++i)
    cases.push_back(fileSystemCase("OutputCheck" + std::to_string(i + 1) + "Fails",
                                   FaultPoint::nameStatus, outputs[i].first + " exists", EACCES,
                                   split_exit::kFailed, "exists", outputs[i].second, kFolderOnly));
  cases.push_back(fileSystemCase("InputPermissionsQueryFails", status, "input permissions", EACCES,
                                 split_exit::kFailed, "status", "in.bin", kFolderOnly));
  cases.push_back({"OpenedInputCannotBeTold",
                   {failing(FaultPoint::openFileFacts, "input", EIO)},
                   split_exit::kFailed,
                   0,
                   {Says::text, "File open error.5"},
                   left({})});
  cases.push_back(fileSystemCase("PlanSizeQueryFails", FaultPoint::fileSize, "plan", EIO,
                                 split_exit::kOutputFolderFailed, "file_size", "in.bin",
                                 kInputOnly));
  cases.push_back(fileSystemCase("CopySizeQueryFails", FaultPoint::fileSize, "copy", EIO,
                                 split_exit::kFailed, "file_size", "in.bin", left({})));
  cases.push_back(fileSystemCase("FolderCreationFails", FaultPoint::folderCreation, "out", EACCES,
                                 split_exit::kOutputFolderFailed, "create_directories", "out",
                                 kInputOnly));
  // Its open, to hold it for the run.
  cases.push_back(fileSystemCase("FolderOpenFails", FaultPoint::open, "out", EACCES,
                                 split_exit::kOutputFolderFailed, "open", "out", kFolderOnly));
  // The check that the split fits goes ahead on what it cannot learn.
  cases.push_back(harmless("FreeSpaceQueryFails", failing(FaultPoint::freeSpace, "out", EIO)));
  cases.push_back(
      harmless("FileSystemTypeQueryFails", failing(FaultPoint::fileSystemType, "out", EACCES)));
}

// Every call of the MD5 provider failing, and a provider whose digest is not
// MD5's length: the run ends with the reason, no digest file is written, and
// a provider that cannot be had is told before any piece is written.
void addDigestCases(std::vector<FaultCase>& cases) {
  const auto says = [](const std::string& reason) { return Line{Says::noDigest, reason}; };
  const std::string noMemory = " (status 0xC0000017)";
  cases.push_back({"ProviderOpenFails",
                   {failing(FaultPoint::providerOpen, "provider", kStatusNotFound)},
                   split_exit::kFailed,
                   0,
                   says("the MD5 provider is not available (status 0xC0000225)"),
                   left({})});
  cases.push_back({"ObjectLengthQueryFails",
                   {failing(FaultPoint::providerProperty, "object length", kStatusNoMemory)},
                   split_exit::kFailed,
                   0,
                   says("the MD5 provider did not tell the size of its hash object" + noMemory),
                   left({})});
  cases.push_back({"DigestLengthQueryFails",
                   {failing(FaultPoint::providerProperty, "digest length", kStatusNoMemory)},
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
                   {failing(FaultPoint::hashCreation, "hash", kStatusNoMemory)},
                   split_exit::kFailed,
                   0,
                   says("the hash could not be created" + noMemory),
                   left({})});
  // A block reaches the hash before its piece: that piece stays empty.
  for (unsigned number = 1; number <= 4; ++number)
    cases.push_back({"HashingBlock" + std::to_string(number) + "Fails",
                     {failing(FaultPoint::hashData, block(number), kStatusNoMemory)},
                     split_exit::kFailed,
                     number,
                     says("a block could not be hashed" + noMemory),
                     left(upTo(number, 0))});
  cases.push_back({"HashFinishFails",
                   {failing(FaultPoint::hashFinish, "hash", kStatusNoMemory)},
                   split_exit::kFailed,
                   4,
                   says("the hash could not be finished" + noMemory),
                   left(kAllPieces)});
  cases.push_back({"HashReleaseFails",
                   {failing(FaultPoint::hashDestruction, "hash", kStatusInvalidHandle)},
                   split_exit::kFailed,
                   4,
                   says("the hash could not be released (status 0xC0000008)"),
                   left(kAllPieces)});
  cases.push_back({"ProviderReleaseFails",
                   {failing(FaultPoint::providerClose, "provider", kStatusInvalidHandle)},
                   split_exit::kFailed,
                   4,
                   says("the MD5 provider could not be released (status 0xC0000008)"),
                   left(kAllPieces)});
  // The first failure is the one told.
  cases.push_back({"HashFinishAndReleaseFail",
                   {failing(FaultPoint::hashFinish, "hash", kStatusNoMemory),
                    failing(FaultPoint::hashDestruction, "hash", kStatusInvalidHandle)},
                   split_exit::kFailed,
                   4,
                   says("the hash could not be finished" + noMemory),
                   left(kAllPieces)});
  // A planned errno is no failure status; the seam makes it one.
  cases.push_back({"ProviderOpenFailsWithAnErrno",
                   {failing(FaultPoint::providerOpen, "provider", EIO)},
                   split_exit::kFailed,
                   0,
                   says("the MD5 provider is not available (status 0xC0000001)"),
                   left({})});
}

// Memory missing, and a handler that cannot widen the text it is to print.
void addMemoryAndTextCases(std::vector<FaultCase>& cases) {
  cases.push_back({"NoMemoryForTheCopyBuffer",
                   {},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Out of memory."},
                   left({0}),
                   0,
                   kMiB});
  // A process or memory limit that leaves no thread to start: nothing
  // written past the script, neither thread left running.
  for (const auto& [name, thread] :
       {std::pair{"NoThreadForTheHasher", "hasher"}, std::pair{"NoThreadForTheWriter", "writer"}})
    cases.push_back({name,
                     {failing(FaultPoint::threadStart, thread, EAGAIN)},
                     split_exit::kFailed,
                     0,
                     {Says::noThread},
                     left({})});
  const Line notShown{Says::text, "An error occurred, and its description could not be shown."};
  cases.push_back({"HandlerCannotWidenItsText",
                   {failing(FaultPoint::open, "script", EACCES),
                    failingEvery(FaultPoint::textConversion, kNoUnicodeTranslation)},
                   split_exit::kFailed,
                   0,
                   notShown,
                   kFolderOnly});
  cases.push_back({"PlanHandlerCannotWidenItsText",
                   {failing(FaultPoint::fileSize, "plan", EIO),
                    failingEvery(FaultPoint::textConversion, kNoUnicodeTranslation)},
                   split_exit::kOutputFolderFailed,
                   0,
                   notShown,
                   kInputOnly});
}

}  // namespace

void addQueryCases(std::vector<FaultCase>& cases) {
  addFileSystemCases(cases);
  addDigestCases(cases);
  addMemoryAndTextCases(cases);
}

}  // namespace split_fault_rows
