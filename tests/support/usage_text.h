// The usage texts the binaries print (filesplit after every failure, filejoin
// after a command line it cannot run), for expected outputs.
#pragma once

#include <string>

#include "join/join_exit_codes.h"
#include "platform/platform.h"

/// The empty line and the usage text, with `program` as argument 0.
inline std::wstring usageText(const std::wstring& program = L"filesplit") {
  const std::wstring settings =
      L"  if [divide size] is not entered, 512MB is used.\n"
      L"  if [output folder] is not entered, Input file folder + input file name w/o extension "
      L"is used.\n";
  return L"\nUsage:\n> " + program + L" filename [divide size(MB) [output folder] ]\n" + settings +
         L"  ex. " + program + L" C:\\Users\\aaa.iso 10 C:\\Users\\Output\n";
}

/// filejoin's usage text, with `program` as argument 0, as --help prints it.
inline std::wstring joinUsageLines(const std::wstring& program = L"filejoin") {
  return L"Usage:\n> " + program + L" [--unverified] [--] script [output folder]\n> " + program +
         L" --check [--] script\n> " + program + L" --version\n> " + program +
         L" --help\n"
         L"  script: the .bat file filesplit wrote, or the folder holding it; the pieces are read "
         L"beside it.\n"
         L"  if [output folder] is not entered, the script's folder is used.\n"
         L"  --check reads the pieces and compares them with the .md5 file; it writes nothing.\n"
         L"  --unverified rebuilds even without the .md5 file, which a split that did not finish "
         L"lacks.\n"
         L"  -- ends the options: a script named like an option follows it.\n"
         L"  Exit codes: 0 done and verified, 1 a read, write or rename failed or no room, 2 "
         L"usage, 3 a piece is missing or no file (a link is not followed),\n"
         L"  4 the script or .md5 file is unusable, 5 a piece has the wrong size, 8 the file "
         L"exists,\n"
         L"  9 no output folder, 10 the digest differs, 11 no or an empty .md5 file (not "
         L"verified),\n"
         L"  12 interrupted. A failure is told on standard error, the dots and a success on "
         L"standard output.\n"
         L"  ex. " +
         program + L" " + platform::kJoinUsageExample + L"\n";
}

/// The empty line and filejoin's usage text, with `program` as argument 0.
inline std::wstring joinUsageText(const std::wstring& program = L"filejoin") {
  return L"\n" + joinUsageLines(program);
}

/// What filejoin prints after its lines for a run that ends with
/// `exitCode`: the usage text only for a command line it cannot run.
inline std::wstring joinUsageAfter(int exitCode) {
  return exitCode == join_exit::kUsage ? joinUsageText() : std::wstring();
}
