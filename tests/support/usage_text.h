// The usage text, as the tool prints it after every failure.
#pragma once

#include <string>

/// The empty line and the five usage lines, LF line ends, for `program` as typed.
inline std::wstring usageText(const std::wstring& program = L"filesplit") {
  return L"\nUsage:\n> " + program +
         L" filename [divide size(MB) [output folder] ]\n"
         L"  if [divide size] is not entered, 512MB is used.\n"
         L"  if [output folder] is not entered, Input file folder + input file name w/o extension "
         L"is "
         L"used.\n"
         L"  ex. " +
         program + L" C:\\Users\\aaa.iso 10 C:\\Users\\Output\n";
}
