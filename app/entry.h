#pragma once

#include <locale>
#include <ostream>

/// The wide entries of the processes, on every platform: each runs its tool's
/// command line on the console with the user's locale (runTool) and returns
/// the exit code.
int filesplitMain(int argc, wchar_t** argv);
int filejoinMain(int argc, wchar_t** argv);

/// A tool's front end: runFrontEnd or runJoinFrontEnd.
using FrontEnd = int (*)(int argc, const wchar_t* const* argv, std::wostream& out,
                         const std::locale& userLocale);

/// Runs `frontEnd` with `out` and `userLocale`. Then, when the console window
/// is the process's alone (platform::consoleWindowIsOwn: a file dropped on
/// the .exe in Explorer), prints "Press any key to close this window." and
/// waits for a key, so that the window does not close before the user has
/// read the output. Returns the front end's exit code either way.
int runTool(FrontEnd frontEnd, int argc, const wchar_t* const* argv, std::wostream& out,
            const std::locale& userLocale);
