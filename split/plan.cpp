// The plan of a split: checks on the input, the output folder and every
// output name; and the check that none of the outputs exists yet.
#include <cstdint>
#include <filesystem>
#include <memory>

#include "common/unexpected_failure.h"
#include "fileio/file_system.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "script/path_rules.h"
#include "script/rejoin_script.h"
#include "split/split_exit_codes.h"
#include "split/split_job.h"
#include "texts/split_texts.h"
#include "transfer/block_copy.h"

namespace {

constexpr uint64_t kMostPieces = INT32_MAX;  // piece numbers are 32-bit

uint64_t piecesOf(uint64_t size, uint64_t pieceSize) {
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
  if (path_rules::sameWindowsName(name, path_rules::replaceExtension(name, L"bat")))
    return split_texts::scriptNamedLikeInput(name);
  if (path_rules::sameWindowsName(name, path_rules::replaceExtension(name, L"md5")))
    return split_texts::digestNamedLikeInput(name);
  return std::wstring();
}

}  // namespace

int SplitJob::plan(const wchar_t* input, const wchar_t* outputFolder, uint64_t pieceSize) {
  const std::wstring inputPath = input;
  if (!file_system::exists(inputPath)) return split_exit::kInputMissing;
  if (file_system::isDirectory(inputPath)) return split_exit::kInputIsFolder;
  if (file_system::isEmpty(inputPath)) return split_exit::kInputEmpty;
  try {
    if (pieceSize == 0) return split_exit::kInvalidSize;
    const uint64_t size = file_system::fileSize(inputPath);
    if (size < pieceSize) {
      printLine(split_texts::kNoNeedToSplit);
      return split_exit::kNoNeedToSplit;
    }
    const uint64_t count = piecesOf(size, pieceSize);
    if (count > kMostPieces) {
      printLine(split_texts::kTooManyPieces);
      return split_exit::kFailed;
    }
    const std::wstring name = path_rules::fileName(inputPath);
    if (!scriptCanCarry(name)) {
      printLine(split_texts::kNameScriptCannotCarry);
      return split_exit::kFailed;
    }
    // The more particular refusal first: "x.bat " is also a name Windows
    // cannot hold.
    const std::wstring clash = companionClash(name);
    if (!clash.empty()) {
      printLine(clash);
      return split_exit::kFailed;
    }
    if (!platform::isFileName(name)) {
      printLine(split_texts::notAFileNameHere(name));
      return split_exit::kFailed;
    }
    const std::wstring folder = chooseOutputFolder(inputPath, outputFolder);
    if (!file_system::exists(folder) || !file_system::isDirectory(folder)) {
      foldersAbove_ = file_system::createFolders(folder);
      foldersAbove_.erase(foldersAbove_.begin());  // the output folder itself
    }
    // Opened once, checked or created: what is created in it from now on
    // lands in this folder, whatever its path names meanwhile.
    outputFolder_ = std::make_unique<platform::OutputFolder>(folder);
    const std::wstring base = path_rules::join(folder, name);
    pieces = PiecePaths(base, count);
    digestPath = path_rules::replaceExtension(base, L"md5");
    scriptPath = path_rules::replaceExtension(base, L"bat");
    inputPath_ = inputPath;
    plannedSize_ = size;
    return split_exit::kSuccess;
  } catch (const std::filesystem::filesystem_error& error) {
    printLine(platform::filesystemErrorText(error));
    return split_exit::kOutputFolderFailed;
  } catch (...) {
    printLine(unexpectedFailureLine());
    return split_exit::kFailed;
  }
}

int SplitJob::checkOutputs() {
  // A link that leads nowhere counts too: the open would follow it and fail.
  for (uint64_t number = 1; number <= pieces.size(); ++number)
    if (file_system::nameTaken(pieces[number - 1])) return split_exit::kOutputExists;
  if (file_system::nameTaken(scriptPath)) return split_exit::kOutputExists;
  if (file_system::nameTaken(digestPath)) return split_exit::kOutputExists;
  return split_exit::kSuccess;
}
