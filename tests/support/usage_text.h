// The usage text the binary prints after every failure, for expected outputs.
#pragma once

#include <string>

/// The empty line and the usage text, with `program` as argument 0.
inline std::wstring usageText(const std::wstring& program = L"filesplit") {
  const std::wstring settings =
      L"  if [divide size] is not entered, 512MB is used.\n"
      L"  if [output folder] is not entered, Input file folder + input file name w/o extension "
      L"is used.\n";
  return L"\nUsage:\n> " + program + L" filename [divide size(MB) [output folder] ]\n" + settings +
         L"  ex. " + program + L" C:\\Users\\aaa.iso 10 C:\\Users\\Output\n";
}
