#include "split/split_job.h"

#include "common/guarded_run.h"
#include "fileio/file_ptr.h"
#include "split/rejoin_script.h"

int SplitJob::run(const wchar_t* input, const wchar_t* outputFolder, uint64_t pieceSize) {
  // Everything opened below is owned by RAII handles, released in reverse
  // order of creation before a handler prints.
  return guardedRun(
      [&] {
        int result = plan(input, outputFolder, pieceSize);
        if (result != 0) return result;
        result = checkOutputs();
        if (result != 0) return result;
        const std::string script = rejoinScriptBytes(input, pieces);
        result = checkFit(pieceSize, storedTextSize(script));
        if (result != 0) return result;
        writeRejoinScript(script);
        copyPieces(input, pieceSize);
        return 0;
      },
      [this](const std::wstring& line) { printLine(line); });
}

void SplitJob::printLine(const std::wstring& line) { console_ << line << std::endl; }
