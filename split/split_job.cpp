#include "split/split_job.h"

#include <filesystem>

#include "common/job_failure.h"
#include "common/to_wide.h"
#include "fileio/my_file_error.h"
#include "platform/platform.h"

int SplitJob::run(const wchar_t* input, const wchar_t* outputFolder, uint64_t pieceSize) {
  // Everything opened below is owned by RAII handles, released in reverse
  // order of creation before a handler prints.
  try {
    int result = plan(input, outputFolder, pieceSize);
    if (result != 0) return result;
    result = checkOutputs();
    if (result != 0) return result;
    writeRejoinScript(input);
    copyPieces(input, pieceSize);
    return 0;
  } catch (const MyFileError& error) {
    printLine(printableText(error.what()));
  } catch (const JobFailure& failure) {
    printLine(failure.line());
  } catch (const std::filesystem::filesystem_error& error) {
    printLine(platform::filesystemErrorText(error));
  } catch (...) {
  }
  return 1;
}

void SplitJob::printLine(const std::wstring& line) { console_ << line << std::endl; }
