// The plan's path rules on arbitrary paths: what it derives from an input
// and a folder stays in that folder, keeps the input's name, and a path
// taken apart joins back to itself.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "fuzz_support.h"
#include "script/path_rules.h"

namespace {

bool startsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Returns what is broken for the input path `input` and output folder `folder`; "" if nothing.
std::string brokenRule(const std::wstring& input, const std::wstring& folder) {
  using namespace path_rules;
  const std::wstring name = fileName(input);
  if (name.find(L'/') != std::wstring::npos) return "a file name holds a separator";
  if (join(removeFileName(input), name) != input) return "a path does not join back to itself";
  const std::wstring stemText = stem(input);
  if (!startsWith(name, stemText)) return "the stem is not the start of the name";
  const std::wstring extension = name.substr(stemText.size());
  if (!extension.empty() && extension[0] != L'.') return "an extension without its dot";
  if (removeFileName(folderBeside(input)) != removeFileName(input))
    return "the default folder is not beside the input";
  if (name.empty()) return "";
  const std::wstring base = join(folder, name);
  if (fileName(base + L"_1") != name + L"_1") return "a piece is not named after the input";
  const std::wstring digest = replaceExtension(base, L"md5");
  if (removeFileName(digest) != removeFileName(base)) return "the digest is not in the folder";
  if (fileName(digest) != stem(base) + L".md5") return "the digest is not named after the stem";
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  prepareFuzzProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::wstring> texts = wideTexts(data, size, 2);
  texts.resize(2);
  std::string broken;
  try {
    broken = brokenRule(texts[0], texts[1]);
  } catch (const std::filesystem::filesystem_error&) {
    return 0;  // a path the system cannot name: the plan refuses it the same way
  }
  if (!broken.empty()) invariantBroken(broken, texts);
  return 0;
}
