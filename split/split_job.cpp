#include "split/split_job.h"

#include "fileio/file_ptr.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "script/path_rules.h"
#include "script/rejoin_script.h"
#include "split/split_exit_codes.h"
#include "transfer/guarded_run.h"

SplitJob::SplitJob(std::wostream& console) : console_(console) {}

SplitJob::~SplitJob() = default;

int SplitJob::run(const wchar_t* input, const wchar_t* outputFolder, uint64_t pieceSize) {
  // Everything opened below is owned by RAII handles, released in reverse
  // order of creation before a handler prints.
  return guardedRun(
      [&] {
        int result = plan(input, outputFolder, pieceSize);
        if (result != split_exit::kSuccess) return result;
        result = checkOutputs();
        if (result != split_exit::kSuccess) return result;
        result = checkFit(pieceSize);
        if (result != split_exit::kSuccess) return result;
        keepInputPrivacy();
        writeRejoinScript();
        copyPieces(input, pieceSize);
        return split_exit::kSuccess;
      },
      [this](const std::wstring& line) { printLine(line); }, split_exit::kFailed,
      platform::StandardStream::output);
}

void SplitJob::makeRejoinScript(const std::function<void(const std::string&)>& take) const {
  ::makeRejoinScript(path_rules::fileName(inputPath_), pieces.size(), take);
}

void SplitJob::printLine(const std::wstring& line) { console_ << line << std::endl; }
