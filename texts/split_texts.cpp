#include "texts/split_texts.h"

#include "platform/platform.h"
#include "texts/in_quotes.h"

namespace split_texts {

std::wstring usage(const std::wstring& program) {
  const std::wstring shown = platform::escapeControls(program);
  return L"\nUsage:\n"
         L"> " +
         shown +
         L" filename [divide size(MB) [output folder] ]\n"
         L"  if [divide size] is not entered, 512MB is used.\n"
         L"  if [output folder] is not entered, Input file folder + input file name w/o extension "
         L"is used.\n"
         L"  ex. " +
         shown + L" C:\\Users\\aaa.iso 10 C:\\Users\\Output\n";
}

std::wstring settings(const std::wstring& file, const std::wstring& sizeMb,
                      const std::optional<std::wstring>& folder) {
  std::wstring lines =
      L"File: " + platform::escapeControls(file) + L"\nDivide size: " + sizeMb + L"MB\n";
  if (folder) lines += L"Output Folder: " + platform::escapeControls(*folder) + L"\n";
  return lines;
}

namespace {

std::wstring renameInstead(const std::wstring& name) {
  return L"; rename the input (for example to " + name + L".txt) and split it again.";
}

}  // namespace

std::wstring scriptNamedLikeInput(const std::wstring& name) {
  return L"The rejoin script would be named like the input " + inQuotes(name) +
         L" and would overwrite itself when run" + renameInstead(name);
}

std::wstring digestNamedLikeInput(const std::wstring& name) {
  return L"The digest file would be named like the input " + inQuotes(name) +
         L" and would be replaced by the rebuilt file" + renameInstead(name);
}

std::wstring notAFileNameHere(const std::wstring& name) {
  return L"The file name " + inQuotes(name) +
         L" is not one a file can have here, so the rebuilt file could not take it; rename the "
         L"input and split it again.";
}

std::wstring inputChanged(const std::wstring& input) {
  return L"The input file changed during the split: " + inQuotes(input);
}

std::wstring fatAdvice(uint64_t mostMb) {
  return L"choose a divide size of at most " + std::to_wstring(mostMb) + L" MB";
}

}  // namespace split_texts
