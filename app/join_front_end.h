#pragma once

#include <locale>
#include <ostream>

/// The command line of filejoin: SCRIPT [OUTPUT_FOLDER], --check SCRIPT or
/// --version. Prints the settings, the dots and a success to `out`, the
/// line of any other end to `errors` (both imbued with `userLocale` while it
/// runs), runs one join, prints the usage text to `errors` after a command
/// line it cannot take and returns the exit code (2 for that).
int runJoinFrontEnd(int argc, const wchar_t* const* argv, std::wostream& out, std::wostream& errors,
                    const std::locale& userLocale);

/// The same with every line on `out`.
int runJoinFrontEnd(int argc, const wchar_t* const* argv, std::wostream& out,
                    const std::locale& userLocale);

/// Prints an empty line and filejoin's usage text, with `program` as typed.
void printJoinUsage(std::wostream& out, const wchar_t* program);
