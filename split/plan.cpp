// The plan of a split: checks on the input, the output folder and every
// output name; and the check that none of the outputs exists yet.
#include <cstdint>
#include <filesystem>

#include "common/unexpected_failure.h"
#include "fileio/file_system.h"
#include "platform/platform.h"
#include "split/path_rules.h"
#include "split/rejoin_script.h"
#include "split/split_job.h"

namespace {

constexpr uint64_t kMostPieces = INT32_MAX;  // piece numbers are 32-bit

uint64_t pieceCount(uint64_t size, uint64_t pieceSize) {
  return size / pieceSize + (size % pieceSize != 0 ? 1 : 0);
}

std::wstring chooseOutputFolder(const std::wstring& input, const wchar_t* outputFolder) {
  if (outputFolder != nullptr && *outputFolder != L'\0') return outputFolder;
  return path_rules::folderBeside(input);
}

// The line that refuses an input whose rebuilt copy would take the place of
// its own rejoin script (the interpreter would go on reading the script from
// the rebuilt bytes and run them) or of its digest file; empty for others.
std::wstring companionClash(const std::wstring& name) {
  const std::wstring instead =
      L"; rename the input (for example to " + name + L".txt) and split it again.";
  if (path_rules::sameWindowsName(name, path_rules::replaceExtension(name, L"bat")))
    return L"The rejoin script would be named like the input \"" + name +
           L"\" and would overwrite itself when run" + instead;
  if (path_rules::sameWindowsName(name, path_rules::replaceExtension(name, L"md5")))
    return L"The digest file would be named like the input \"" + name +
           L"\" and would be replaced by the rebuilt file" + instead;
  return std::wstring();
}

}  // namespace

int SplitJob::plan(const wchar_t* input, const wchar_t* outputFolder, uint64_t pieceSize) {
  const std::wstring inputPath = input;
  if (!file_system::exists(inputPath)) return 3;
  if (file_system::isDirectory(inputPath)) return 4;
  if (file_system::isEmpty(inputPath)) return 5;
  try {
    if (pieceSize == 0) return 7;
    const uint64_t size = file_system::fileSize(inputPath);
    if (size < pieceSize) {
      printLine(L"No need to split.");
      return 6;
    }
    const uint64_t count = pieceCount(size, pieceSize);
    if (count > kMostPieces) {
      printLine(L"Too many pieces: a split makes at most 2147483647; choose a larger divide size.");
      return 1;
    }
    const std::wstring name = path_rules::fileName(inputPath);
    if (!scriptCanCarry(name)) {
      printLine(
          L"The file name holds a double quote or a control character, which the rejoin "
          L"script cannot carry.");
      return 1;
    }
    const std::wstring clash = companionClash(name);
    if (!clash.empty()) {
      printLine(clash);
      return 1;
    }
    const std::wstring folder = chooseOutputFolder(inputPath, outputFolder);
    foldersToFlush_ = {folder};
    if (!file_system::exists(folder) || !file_system::isDirectory(folder)) {
      foldersToFlush_ = file_system::createFolders(folder);
    }
    const std::wstring base = path_rules::join(folder, name);
    pieces.reserve(pieces.size() + count);
    for (uint64_t number = 1; number <= count; ++number)
      pieces.push_back(base + L"_" + std::to_wstring(number));
    digestPath = path_rules::replaceExtension(base, L"md5");
    scriptPath = path_rules::replaceExtension(base, L"bat");
    inputPath_ = inputPath;
    outputFolder_ = folder;
    plannedSize_ = size;
    return 0;
  } catch (const std::filesystem::filesystem_error& error) {
    printLine(platform::filesystemErrorText(error));
    return 9;
  } catch (...) {
    printLine(unexpectedFailureLine());
    return 1;
  }
}

int SplitJob::checkOutputs() {
  for (const std::wstring& piece : pieces)
    if (file_system::exists(piece)) return 8;
  if (file_system::exists(scriptPath)) return 8;
  if (file_system::exists(digestPath)) return 8;
  return 0;
}
