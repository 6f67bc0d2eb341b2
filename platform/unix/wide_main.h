// The start of a process on POSIX systems: the arguments, decoded as file
// names are (every byte kept, see native_text.h), go to the same wide entry
// that Windows calls wmain.
#pragma once

#include "platform/platform.h"

namespace posix_main {

using WideMain = int (*)(int argc, wchar_t** argv);

/// What a process that cannot allocate at all does: its line for that
/// (ASCII), where its failure lines go, and the exit code of a failed run.
struct NoMemory {
  const char* line;
  platform::StandardStream stream;
  int exitCode;
};

/// Readies the process, decodes `argv` and returns what `wideMain` returns
/// for them. Where the memory a failure needs cannot be had from the start
/// (a low address-space limit), writes `noMemory.line` to `noMemory.stream`
/// and ends the process at once with `noMemory.exitCode` instead.
int run(int argc, char** argv, WideMain wideMain, NoMemory noMemory);

}  // namespace posix_main
