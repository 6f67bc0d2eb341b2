// The start of a process on POSIX systems: the arguments, decoded from the
// locale's encoding, go to the same wide entry that Windows calls wmain.
#pragma once

#include <ostream>

namespace posix_main {

using WideMain = int (*)(int argc, wchar_t** argv);
using Usage = void (*)(std::wostream& out, const wchar_t* program);

/// Readies the process, decodes `argv` and returns what `wideMain` returns
/// for them. An argument that does not decode to exactly its bytes is
/// refused with one line and `usage`, and `refused` is returned.
int run(int argc, char** argv, WideMain wideMain, Usage usage, int refused);

}  // namespace posix_main
