// The frame of a join and everything it checks before it writes.
#include "join/join_job.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sstream>

#include "common/in_quotes.h"
#include "fileio/file_ptr.h"
#include "fileio/file_system.h"
#include "join/digest_file.h"
#include "join/join_exit_codes.h"
#include "script/path_rules.h"
#include "transfer/block_copy.h"
#include "transfer/guarded_run.h"

JoinJob::JoinJob(std::wostream& console) : console_(console) {}

JoinJob::~JoinJob() = default;

int JoinJob::run(const std::wstring& script, const std::wstring& outputFolder, bool checkOnly) {
  return guardedRun(
      [&] {
        int result = findScript(script);
        if (result == join_exit::kSuccess) result = readManifest();
        if (result == join_exit::kSuccess) result = readDigest();
        if (result == join_exit::kSuccess) result = checkPieces();
        if (result != join_exit::kSuccess || checkOnly)
          return result != join_exit::kSuccess ? result : verify();
        result = prepareOutput(outputFolder);
        return result != join_exit::kSuccess ? result : rebuild();
      },
      [this](const std::wstring& line) { printLine(line); }, join_exit::kFailed);
}

int JoinJob::findScript(const std::wstring& argument) {
  if (!file_system::isDirectory(argument)) {
    if (!file_system::exists(argument)) {
      printLine(L"The script " + inQuotes(argument) + L" does not exist.");
      return join_exit::kScriptRefused;
    }
    scriptPath_ = argument;
  } else {
    std::vector<std::wstring> scripts;
    try {
      scripts = file_system::filesWithExtension(argument, L".bat");
    } catch (const std::filesystem::filesystem_error& error) {
      printLine(platform::filesystemErrorText(error));
      return join_exit::kScriptRefused;
    }
    if (scripts.size() != 1) {
      printLine(inQuotes(argument) + (scripts.empty() ? L" holds no .bat file."
                                                      : L" holds " + number(scripts.size()) +
                                                            L" .bat files; name the one to use."));
      return join_exit::kScriptRefused;
    }
    scriptPath_ = path_rules::join(argument, scripts.front());
  }
  folder_ = path_rules::removeFileName(scriptPath_);
  digestPath_ = path_rules::replaceExtension(scriptPath_, L"md5");
  return join_exit::kSuccess;
}

int JoinJob::readManifest() {
  std::string bytes;
  const int result = readWhole(scriptPath_, kMostScriptBytes, bytes);
  if (result != join_exit::kSuccess) return result;
  ScriptFault fault;
  if (readRejoinScript(bytes, manifest_, fault)) return join_exit::kSuccess;
  printLine(inQuotes(scriptPath_) + L" is not a rejoin script of filesplit (line " +
            number(static_cast<uint64_t>(fault.line)) + L": " + fault.reason + L").");
  return join_exit::kScriptRefused;
}

int JoinJob::readDigest() {
  if (!file_system::exists(digestPath_)) return join_exit::kSuccess;
  std::string bytes;
  const int result = readWhole(digestPath_, digest_file::kMostBytes, bytes);
  if (result != join_exit::kSuccess) return result;
  expectedDigest_ = digest_file::digits(bytes);
  if (!expectedDigest_.empty()) return join_exit::kSuccess;
  printLine(inQuotes(digestPath_) + L" does not hold an MD5 digest (32 hexadecimal digits).");
  return join_exit::kScriptRefused;
}

int JoinJob::checkPieces() {
  for (const std::wstring& name : manifest_.pieces) {
    const std::wstring path = path_rules::join(folder_, name);
    if (!file_system::exists(path)) {
      printLine(L"The piece " + inQuotes(path) + L" is missing.");
      return join_exit::kPieceMissing;
    }
    if (!file_system::isFile(path)) {
      printLine(L"The piece " + inQuotes(path) + L" is not a file.");
      return join_exit::kPieceMissing;
    }
    piecePaths_.push_back(path);
    pieceSizes_.push_back(file_system::fileSize(path));
    total_ += pieceSizes_.back();
  }
  // Every piece but the last has the size of the largest of them; the last
  // holds at least one byte and at most that many.
  const size_t last = pieceSizes_.size() - 1;
  const uint64_t full =
      last == 0 ? pieceSizes_[0] : *std::max_element(pieceSizes_.begin(), pieceSizes_.end() - 1);
  for (size_t i = 0; i < last; ++i) {
    if (pieceSizes_[i] == full) continue;
    printLine(L"The piece " + inQuotes(piecePaths_[i]) + L" has " + number(pieceSizes_[i]) +
              L" bytes; " + number(full) + L" expected.");
    return join_exit::kPieceSizeWrong;
  }
  if (pieceSizes_[last] == 0) {
    printLine(L"The piece " + inQuotes(piecePaths_[last]) + L" is empty.");
    return join_exit::kPieceSizeWrong;
  }
  if (pieceSizes_[last] > full) {
    printLine(L"The piece " + inQuotes(piecePaths_[last]) + L" has " + number(pieceSizes_[last]) +
              L" bytes; at most " + number(full) + L" expected.");
    return join_exit::kPieceSizeWrong;
  }
  return join_exit::kSuccess;
}

int JoinJob::prepareOutput(const std::wstring& outputFolder) {
  const std::wstring folder = outputFolder.empty() ? folder_ : outputFolder;
  try {
    if (!folder.empty() && (!file_system::exists(folder) || !file_system::isDirectory(folder)))
      file_system::createFolders(folder);
  } catch (const std::filesystem::filesystem_error& error) {
    printLine(platform::filesystemErrorText(error));
    return join_exit::kOutputFolderFailed;
  }
  targetPath_ = path_rules::join(folder, manifest_.target);
  temporaryPath_ = targetPath_ + kTemporarySuffix;
  for (const std::wstring& path : {targetPath_, temporaryPath_}) {
    if (!file_system::exists(path)) continue;
    printLine(inQuotes(path) + L" exists already.");
    return join_exit::kOutputExists;
  }
  return join_exit::kSuccess;
}

int JoinJob::readWhole(const std::wstring& path, uint64_t most, std::string& bytes) {
  try {
    if (!file_system::isFile(path)) {
      printLine(inQuotes(path) + L" is not a file.");
      return join_exit::kScriptRefused;
    }
    if (file_system::fileSize(path) > most) {
      printLine(inQuotes(path) + L" is too large for what it should hold.");
      return join_exit::kScriptRefused;
    }
  } catch (const std::filesystem::filesystem_error& error) {
    printLine(platform::filesystemErrorText(error));
    return join_exit::kScriptRefused;
  }
  std::unique_ptr<FileIO_IF> file;
  try {
    file.reset(new File_ptr(path.c_str(), kInputMode));
  } catch (const MyFileError& error) {
    printLine(L"Cannot read " + inQuotes(path) + L": " + printableText(error.what()));
    return join_exit::kScriptRefused;
  }
  char block[65536];
  for (;;) {
    const int n = file->read(block, sizeof block);
    if (n < 0) {
      printLine(L"Cannot read " + inQuotes(path) + L": " + platform::systemErrorText(errno));
      return join_exit::kScriptRefused;
    }
    if (n == 0) return join_exit::kSuccess;
    bytes.append(block, static_cast<size_t>(n));
    if (bytes.size() > most) {
      printLine(inQuotes(path) + L" is too large for what it should hold.");
      return join_exit::kScriptRefused;
    }
  }
}

std::wstring JoinJob::number(uint64_t value) const {
  std::wostringstream text;
  text.imbue(console_.getloc());
  text << value;
  return text.str();
}

void JoinJob::printLine(const std::wstring& line) {
  // The dots have no line end of their own: the first line after them ends theirs.
  if (progress_ && progress_->printed() && !dotsEnded_) {
    console_ << std::endl;
    dotsEnded_ = true;
  }
  console_ << line << std::endl;
}
