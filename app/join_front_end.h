#pragma once

#include <locale>
#include <ostream>

/// The command line of filejoin: SCRIPT [OUTPUT_FOLDER], --check SCRIPT or
/// --version. Prints the settings to `out` (imbued with `userLocale` while
/// it runs), runs one join, prints the usage text after any failure and
/// returns the exit code (2 for a command line it cannot take).
int runJoinFrontEnd(int argc, const wchar_t* const* argv, std::wostream& out,
                    const std::locale& userLocale);

/// Prints an empty line and filejoin's usage text, with `program` as typed.
void printJoinUsage(std::wostream& out, const wchar_t* program);
