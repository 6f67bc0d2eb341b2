#include "split_fault_rows.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/platform.h"
#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "texts/split_texts.h"

namespace fs = std::filesystem;

namespace split_fault_rows {

Files left(std::vector<uint64_t> pieceSizes, int64_t digestSize, int64_t scriptSize) {
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

std::vector<uint64_t> upTo(unsigned number, uint64_t bytes) {
  std::vector<uint64_t> sizes(number - 1, kMiB);
  sizes.push_back(bytes);
  return sizes;
}

std::string piece(unsigned number) { return "piece " + std::to_string(number); }
std::string block(unsigned number) { return "block " + std::to_string(number); }
std::string pieceName(unsigned number) { return "out/in.bin_" + std::to_string(number); }

namespace {

std::map<FaultPoint, std::vector<std::string>> listCleanRunCalls() {
  const std::vector<std::string> blocks{block(1), block(2), block(3), block(4)};
  const std::vector<std::string> pieces{piece(1), piece(2), piece(3), piece(4)};
  // Each output's calls: the script, then the pieces, then the digest.
  const auto outputs = [&](std::vector<std::string> between) {
    std::vector<std::string> calls{"script"};
    calls.insert(calls.end(), pieces.begin(), pieces.end());
    calls.insert(calls.end(), between.begin(), between.end());
    calls.emplace_back("digest");
    return calls;
  };
  std::map<FaultPoint, std::vector<std::string>> calls{
      // The output folder's, held for the run, then the files'.
      {FaultPoint::open,
       {"out", "script", "input", piece(1), piece(2), piece(3), piece(4), "digest"}},
      {FaultPoint::read, blocks},
      {FaultPoint::write, outputs({})},
      {FaultPoint::close, outputs({"input"})},
      {FaultPoint::flush, outputs({})},
      // The folders flushed before the digest file (out, then the current
      // folder above the new out), and out again after it.
      {FaultPoint::folderFlush, {"out", "out's parent", "out again"}},
      // Each piece's writes turned past the cache, and back for the last
      // piece's 5 bytes, which fill no sector (not on Windows, whose pieces
      // go through the cache: dropped below).
      {FaultPoint::mediumWrites, {piece(1), piece(2), piece(3), piece(4), "piece 4 tail"}},
      // The input's existence, folder and emptiness tests, the output
      // folder's existence test and the status inside the folder creation,
      // then the input's permissions.
      {FaultPoint::fileStatus,
       {"input exists", "input status", "input is_empty", "out exists", "out in creation",
        "input permissions"}},
      // The output check: whether anything, a link included, has each name.
      {FaultPoint::nameStatus,
       {"piece 1 exists", "piece 2 exists", "piece 3 exists", "piece 4 exists", "script exists",
        "digest exists"}},
      // The input's facts as opened, and again after its last block.
      {FaultPoint::openFileFacts, {"input", "input after"}},
      // The input held against writers while it is read (Linux).
      {FaultPoint::inputWatch, {"input lease", "input watch"}},
      {FaultPoint::fileSize, {"plan", "copy"}},
      {FaultPoint::folderCreation, {"out"}},
      {FaultPoint::freeSpace, {"out"}},
      {FaultPoint::fileSystemType, {"out"}},
      {FaultPoint::providerOpen, {"provider"}},
      {FaultPoint::providerProperty, {"object length", "digest length"}},
      {FaultPoint::hashCreation, {"hash"}},
      {FaultPoint::hashData, blocks},
      {FaultPoint::hashFinish, {"hash"}},
      {FaultPoint::hashDestruction, {"hash"}},
      {FaultPoint::providerClose, {"provider"}},
      {FaultPoint::threadStart, {"hasher", "writer"}},
  };
  if (!piecesPastTheCache()) calls.erase(FaultPoint::mediumWrites);
  if (windowsPlatform()) calls.erase(FaultPoint::inputWatch);  // its open keeps writers out
  return calls;
}

}  // namespace

const std::map<FaultPoint, std::vector<std::string>>& cleanRunCalls() {
  static const std::map<FaultPoint, std::vector<std::string>> calls = listCleanRunCalls();
  return calls;
}

unsigned callAt(FaultPoint point, const std::string& what) {
  const auto found = cleanRunCalls().find(point);
  if (found == cleanRunCalls().end()) return kNoSuchCall;
  const std::vector<std::string>& calls = found->second;
  const auto at = std::find(calls.begin(), calls.end(), what);
  return at == calls.end() ? kNoSuchCall : static_cast<unsigned>(at - calls.begin()) + 1;
}

hooks::Fault failing(FaultPoint point, const std::string& what, int error) {
  return hooks::Fault{point, callAt(point, what), error, SIZE_MAX, {}};
}

hooks::Fault failingEvery(FaultPoint point, int error) {
  return hooks::Fault{point, 0, error, SIZE_MAX, {}};
}

hooks::Fault limited(FaultPoint point, const std::string& what, size_t bytes) {
  return hooks::Fault{point, callAt(point, what), 0, bytes, {}};
}

hooks::Fault before(FaultPoint point, const std::string& what, void (*change)()) {
  return hooks::Fault{point, callAt(point, what), 0, SIZE_MAX, change};
}

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

namespace {
const char* skippedBecause = nullptr;
}  // namespace

void skipRow(const char* why) { skippedBecause = why; }

const char* takeSkippedRow() { return std::exchange(skippedBecause, nullptr); }

FaultCase harmless(const std::string& name, const hooks::Fault& fault, size_t dots) {
  return {name, {fault}, split_exit::kSuccess, dots, {}, kComplete};
}

namespace {

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
    case Says::noThread:
      return L"Cannot start a thread: " + platform::systemErrorText(error) + L"\n";
  }
  return L"";
}

}  // namespace

std::wstring expectedOutput(const FaultCase& c) {
  int error = c.line.reason;
  for (const auto& fault : c.faults)
    if (error == 0) error = fault.error;
  std::wstring out = split_texts::settings(L"in.bin", L"1", L"out") + split_texts::kDividing +
                     L"\n" + std::wstring(c.dots, L'.') + expectedLine(c.line, error);
  return c.exitCode == split_exit::kSuccess ? out : out + split_texts::usage(L"filesplit");
}

}  // namespace split_fault_rows
