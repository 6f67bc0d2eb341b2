// The frame of a join and everything it checks before it writes.
#include "join/join_job.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <sstream>

#include "common/job_failure.h"
#include "fileio/file_ptr.h"
#include "fileio/file_system.h"
#include "fileio/my_file_error.h"
#include "join/digest_file.h"
#include "join/join_exit_codes.h"
#include "platform/output_file.h"
#include "platform/to_wide.h"
#include "script/path_rules.h"
#include "texts/join_texts.h"
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
        return toldInWords(join_exit::kFailed, [&] {
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
        });
      },
      [this](const std::wstring& line) { printLine(line); }, join_exit::kFailed,
      platform::StandardStream::error);
  const std::wstring left = leftTemporaryLine();
  if (!left.empty()) printLine(left);
  return result;
}

int JoinJob::toldInWords(int failedCode, const std::function<int()>& step,
                         const std::wstring& what) {
  try {
    return step();
  } catch (const std::filesystem::filesystem_error& error) {
    printLine(join_texts::cannotUse(error, what));
    return failedCode;
  }
}

std::wstring JoinJob::cannotRead(const std::wstring& path, const MyFileError& error) {
  std::wstring reason;
  switch (platform::lastOpenRefusal()) {
    case platform::OpenRefusal::inUse:
      reason = join_texts::kInUse;
      break;
    case platform::OpenRefusal::pathTooLong:
      reason = join_texts::kPathTooLong;
      break;
    case platform::OpenRefusal::none:
      reason = printableText(error.what());
      break;
  }
  return join_texts::cannotRead(path, reason);
}

int JoinJob::findScript(const std::wstring& argument) {
  // A query that fails (a path too long, say) refuses the script.
  return toldInWords(join_exit::kScriptRefused, [&] { return findScriptIn(argument); });
}

int JoinJob::findScriptIn(const std::wstring& argument) {
  if (!file_system::isDirectory(argument)) {
    if (!file_system::exists(argument)) {
      printLine(join_texts::scriptMissing(argument));
      return join_exit::kScriptRefused;
    }
    scriptPath_ = argument;
  } else {
    const std::vector<std::wstring> scripts = file_system::filesWithExtension(argument, L".bat");
    if (scripts.size() != 1) {
      printLine(scripts.empty() ? join_texts::holdsNoScript(argument)
                                : join_texts::holdsScripts(argument, number(scripts.size())));
      return join_exit::kScriptRefused;
    }
    scriptPath_ = path_rules::join(argument, scripts.front());
  }
  folder_ = path_rules::removeFileName(scriptPath_);
  digestPath_ = path_rules::replaceExtension(scriptPath_, L"md5");
  return join_exit::kSuccess;
}

int JoinJob::readManifest() {
  const int result = toldInWords(join_exit::kScriptRefused, [&] {
    if (file_system::isFile(scriptPath_)) return join_exit::kSuccess;
    printLine(join_texts::notAFile(scriptPath_));
    return join_exit::kScriptRefused;
  });
  if (result != join_exit::kSuccess) return result;
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
    printLine(join_texts::cannotRead(scriptPath_, platform::systemErrorText(error)));
  else
    printLine(join_texts::notARejoinScript(scriptPath_, number(static_cast<uint64_t>(fault.line)),
                                           fault.reason));
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
    throw JobFailure(join_texts::cannotRead(scriptPath_, platform::systemErrorText(error)));
  if (!whole || again.target != script_.target || again.pieceCount != script_.pieceCount)
    throw JobFailure(join_texts::scriptChanged(scriptPath_));
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
  printLine(join_texts::notADigest(digestPath_));
  return join_exit::kScriptRefused;
}

int JoinJob::requireDigest(bool checkOnly, bool unverified) {
  if (!expectedDigest_.empty() || checkOnly || unverified) return join_exit::kSuccess;
  printLine(join_texts::refusedWithoutDigest(digestPath_, digestEmpty_));
  return join_exit::kUnverified;
}

std::wstring JoinJob::noDigestReason() const {
  return join_texts::noDigestReason(digestPath_, digestEmpty_);
}

int JoinJob::readWhole(const std::wstring& path, uint64_t most, std::string& bytes) {
  const int result = toldInWords(join_exit::kScriptRefused, [&] {
    if (!file_system::isFile(path)) {
      printLine(join_texts::notAFile(path));
      return join_exit::kScriptRefused;
    }
    if (file_system::fileSize(path) > most) {
      printLine(join_texts::tooLargeToHold(path));
      return join_exit::kScriptRefused;
    }
    return join_exit::kSuccess;
  });
  if (result != join_exit::kSuccess) return result;
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
      printLine(join_texts::cannotRead(path, platform::systemErrorText(errno)));
      return join_exit::kScriptRefused;
    }
    if (n == 0) return join_exit::kSuccess;
    bytes.append(block, static_cast<size_t>(n));
    if (bytes.size() > most) {
      printLine(join_texts::tooLargeToHold(path));
      return join_exit::kScriptRefused;
    }
  }
}

std::wstring JoinJob::number(uint64_t value) const {
  return join_texts::grouped(value, console_.getloc());
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
