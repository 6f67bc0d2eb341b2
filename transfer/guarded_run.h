#pragma once

#include <filesystem>
#include <string>

#include "common/job_failure.h"
#include "common/unexpected_failure.h"
#include "fileio/my_file_error.h"
#include "platform/platform.h"
#include "platform/to_wide.h"

/// Runs a job's `body` and returns its result. A failure that leaves it
/// gives `failureCode` (the tool's own code for a failed run), after `printLine` told it in one
/// line: the text of a file that could not be opened, the line a JobFailure carries, a file-system
/// failure's text, or for anything unforeseen (out of memory, a checked
/// narrowing) what it says. What the body owns is released before the line
/// is printed.
template <typename Body, typename PrintLine>
int guardedRun(Body body, PrintLine printLine, int failureCode) {
  try {
    return body();
  } catch (const MyFileError& error) {
    printLine(printableText(error.what()));
  } catch (const JobFailure& failure) {
    printLine(failure.line());
    if (failure.exitCode() != 0) return failure.exitCode();
  } catch (const std::filesystem::filesystem_error& error) {
    printLine(platform::filesystemErrorText(error));
  } catch (...) {
    printLine(unexpectedFailureLine());
  }
  return failureCode;
}
