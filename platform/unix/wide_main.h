// The start of a process on POSIX systems: the arguments, decoded as file
// names are (every byte kept, see native_text.h), go to the same wide entry
// that Windows calls wmain.
#pragma once

namespace posix_main {

using WideMain = int (*)(int argc, wchar_t** argv);

/// Readies the process, decodes `argv` and returns what `wideMain` returns
/// for them.
int run(int argc, char** argv, WideMain wideMain);

}  // namespace posix_main
