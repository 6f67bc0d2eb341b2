#pragma once

#include <locale>
#include <ostream>

/// The command line: FILE [SIZE_MB [FOLDER]]. Validates the size, prints the
/// settings to `out` (imbued with `userLocale` for digit grouping while it
/// runs), runs one split, prints the usage text after any failure and
/// returns the exit code.
int runFrontEnd(int argc, const wchar_t* const* argv, std::wostream& out,
                const std::locale& userLocale);

/// Prints an empty line and the usage text, with `program` as typed.
void printUsage(std::wostream& out, const wchar_t* program);
