#pragma once

#include <filesystem>
#include <new>
#include <string>

#include "common/job_failure.h"
#include "common/unexpected_failure.h"
#include "fileio/my_file_error.h"
#include "platform/platform.h"
#include "platform/to_wide.h"
#include "texts/shared_texts.h"

namespace guarded_run {

/// Prints with `printLine` the line for the failure being handled (call only
/// inside a catch block) and returns the exit code a JobFailure carries, else
/// 0. Throws std::bad_alloc where memory for the line is short.
template <typename PrintLine>
int tellFailure(PrintLine& printLine) {
  try {
    throw;
  } catch (const MyFileError& error) {
    printLine(printableText(error.what()));
  } catch (const JobFailure& failure) {
    printLine(failure.line());
    return failure.exitCode();
  } catch (const std::filesystem::filesystem_error& error) {
    printLine(platform::filesystemErrorText(error));
  } catch (...) {
    printLine(unexpectedFailureLine());
  }
  return 0;
}

}  // namespace guarded_run

/// Runs a job's `body` and returns its result. A failure that leaves it
/// gives `failureCode` (the tool's own code for a failed run), after `printLine` told it in one
/// line: the text of a file that could not be opened, the line a JobFailure carries, a file-system
/// failure's text, or for anything unforeseen (out of memory, a checked
/// narrowing) what it says. What the body owns is released before the line
/// is printed. Where memory is short even for that line, "Out of memory."
/// goes to `failureStream` (the tool's stream for failures) by the system's
/// own write, nothing allocated.
template <typename Body, typename PrintLine>
int guardedRun(Body body, PrintLine printLine, int failureCode,
               platform::StandardStream failureStream) {
  try {
    return body();
  } catch (...) {
    try {
      const int code = guarded_run::tellFailure(printLine);
      if (code != 0) return code;
    } catch (const std::bad_alloc&) {
      platform::writeFixedLine(failureStream, shared_texts::kOutOfMemory);
    }
  }
  return failureCode;
}
