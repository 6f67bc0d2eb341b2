// The frame of a join and everything it checks before it writes.
#include "join/join_job.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <sstream>

#include "common/in_quotes.h"
#include "common/job_failure.h"
#include "fileio/file_ptr.h"
#include "fileio/file_system.h"
#include "fileio/my_file_error.h"
#include "join/digest_file.h"
#include "join/join_exit_codes.h"
#include "join/join_words.h"
#include "platform/output_file.h"
#include "platform/to_wide.h"
#include "script/path_rules.h"
#include "transfer/block_copy.h"
#include "transfer/fit_check.h"
#include "transfer/guarded_run.h"

JoinJob::JoinJob(std::wostream& console, std::wostream& errors)
    : console_(console), errors_(errors) {}

JoinJob::~JoinJob() {
  // A named file is whole: an interrupt from now to the process's end
  // changes nothing of it.
  if (named_)
    platform::onInterrupt([] { return platform::kInterruptTooLate; });
  else
    platform::onInterrupt(nullptr);
}

int JoinJob::run(const JoinOptions& options) {
  const int result = guardedRun(
      [&] {
        try {
          platform::onInterrupt([this] { return interrupted(); }, join_exit::kInterrupted);
          int result = findScript(options.script);
          if (result == join_exit::kSuccess) result = readManifest();
          if (result == join_exit::kSuccess) result = readDigest();
          if (result == join_exit::kSuccess)
            result = requireDigest(options.checkOnly, options.unverified);
          if (result == join_exit::kSuccess) result = checkPieces();
          if (result != join_exit::kSuccess || options.checkOnly)
            return result != join_exit::kSuccess ? result : verify();
          result = prepareOutput(options.outputFolder);
          return result != join_exit::kSuccess ? result : rebuild();
        } catch (const std::filesystem::filesystem_error& error) {
          printLine(inWords(error));
          return join_exit::kFailed;
        }
      },
      [this](const std::wstring& line) { printLine(line); }, join_exit::kFailed);
  const std::wstring left = leftTemporaryLine();
  if (!left.empty()) printLine(left);
  return result;
}

std::wstring JoinJob::cannotRead(const std::wstring& path, const MyFileError& error) {
  std::wstring reason;
  switch (platform::lastOpenRefusal()) {
    case platform::OpenRefusal::inUse:
      reason = L"it is in use by another program";
      break;
    case platform::OpenRefusal::pathTooLong:
      reason = L"the path is too long";
      break;
    case platform::OpenRefusal::none:
      reason = printableText(error.what());
      break;
  }
  return L"Cannot read " + inQuotes(path) + L": " + reason;
}

int JoinJob::findScript(const std::wstring& argument) {
  try {
    return findScriptIn(argument);
  } catch (const std::filesystem::filesystem_error& error) {  // a path too long, say
    printLine(inWords(error));
    return join_exit::kScriptRefused;
  }
}

int JoinJob::findScriptIn(const std::wstring& argument) {
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
      printLine(inWords(error));
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
  try {
    if (!file_system::isFile(scriptPath_)) {
      printLine(inQuotes(scriptPath_) + L" is not a file.");
      return join_exit::kScriptRefused;
    }
  } catch (const std::filesystem::filesystem_error& error) {
    printLine(inWords(error));
    return join_exit::kScriptRefused;
  }
  ScriptFault fault;
  int error = 0;
  try {
    if (streamScript([](const std::wstring&) { return true; }, script_, fault, error))
      return join_exit::kSuccess;
  } catch (const JobFailure& failure) {
    printLine(failure.line());
    return join_exit::kScriptRefused;
  }
  if (fault.line == 0)
    printLine(L"Cannot read " + inQuotes(scriptPath_) + L": " + platform::systemErrorText(error));
  else
    printLine(inQuotes(scriptPath_) + L" is not a rejoin script of filesplit (line " +
              number(static_cast<uint64_t>(fault.line)) + L": " + fault.reason + L").");
  return join_exit::kScriptRefused;
}

bool JoinJob::streamScript(const std::function<bool(const std::wstring&)>& onPiece,
                           ScriptOutline& outline, ScriptFault& fault, int& error) {
  std::unique_ptr<FileIO_IF> file;
  try {
    file.reset(new File_ptr(scriptPath_.c_str(), kInputMode));
  } catch (const MyFileError& failure) {
    throw JobFailure(cannotRead(scriptPath_, failure));
  }
  const ScriptSource source = [&](char* buffer, uint32_t size) {
    const int n = file->read(buffer, size);
    if (n < 0) error = errno;
    return n;
  };
  return readRejoinScript(source, outline, onPiece, fault);
}

void JoinJob::forEachPiece(const std::function<bool(const std::wstring&)>& onPiece) {
  ScriptOutline again;
  ScriptFault fault;
  int error = 0;
  bool stopped = false;
  const bool whole = streamScript(
      [&](const std::wstring& name) {
        stopped = !onPiece(path_rules::join(folder_, name));
        return !stopped;
      },
      again, fault, error);
  if (stopped) return;
  if (!whole && fault.line == 0)
    throw JobFailure(L"Cannot read " + inQuotes(scriptPath_) + L": " +
                     platform::systemErrorText(error));
  if (!whole || again.target != script_.target || again.pieceCount != script_.pieceCount)
    throw JobFailure(L"The script " + inQuotes(scriptPath_) + L" changed while it was read.");
}

int JoinJob::readDigest() {
  if (!file_system::exists(digestPath_)) return join_exit::kSuccess;
  std::string bytes;
  const int result = readWhole(digestPath_, digest_file::kMostBytes, bytes);
  if (result != join_exit::kSuccess) return result;
  // What a split leaves whose digest write failed: no digest, as when the
  // file is missing.
  digestEmpty_ = bytes.empty();
  if (digestEmpty_) return join_exit::kSuccess;
  expectedDigest_ = digest_file::digits(bytes);
  if (!expectedDigest_.empty()) return join_exit::kSuccess;
  printLine(inQuotes(digestPath_) + L" does not hold an MD5 digest (32 hexadecimal digits).");
  return join_exit::kScriptRefused;
}

int JoinJob::requireDigest(bool checkOnly, bool unverified) {
  if (!expectedDigest_.empty() || checkOnly || unverified) return join_exit::kSuccess;
  std::wstring reason = noDigestReason();
  if (!digestEmpty_) reason[0] = L'T';  // "there is no ..." begins the line
  printLine(reason +
            L": the split may not have finished; nothing was written (--unverified rebuilds "
            L"anyway).");
  return join_exit::kUnverified;
}

std::wstring JoinJob::noDigestReason() const {
  return digestEmpty_ ? inQuotes(digestPath_) + L" is empty"
                      : L"there is no " + inQuotes(digestPath_);
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
    printLine(inWords(error));
    return join_exit::kScriptRefused;
  }
  std::unique_ptr<FileIO_IF> file;
  try {
    file.reset(new File_ptr(path.c_str(), kInputMode));
  } catch (const MyFileError& error) {
    printLine(cannotRead(path, error));
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
  const std::lock_guard<std::mutex> printing(transfer::consoleLock());
  if (!interrupted_) writeLine(errors_, line);
}

void JoinJob::printSuccess(const std::wstring& line) {
  const std::lock_guard<std::mutex> printing(transfer::consoleLock());
  if (!interrupted_) writeLine(console_, line);
}

void JoinJob::writeLine(std::wostream& stream, const std::wstring& line) {
  endDots();
  stream << line << std::endl;
}

void JoinJob::endDots() {
  // The dots have no line end of their own: the first line after them ends theirs.
  if (progress_ && progress_->printed() && !dotsEnded_) {
    console_ << std::endl;
    dotsEnded_ = true;
  }
}
