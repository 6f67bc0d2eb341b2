// The round trip on generated names, in-process: whatever input the
// splitter splits with exit 0, filejoin rebuilds byte for byte under the
// same name; a name the platform cannot hold as a file is refused by the
// splitter before it creates anything. Works in a scratch folder, removed
// when the fuzzer exits.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/join_front_end.h"
#include "app/split_front_end.h"
#include "fuzz_support.h"
#include "join/join_exit_codes.h"
#include "platform/platform.h"
#include "split/split_exit_codes.h"

namespace fs = std::filesystem;

namespace {

const std::string kInput = [] {
  std::string bytes(1048576 + 3, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7919 >> 5);
  return bytes;
}();

fs::path& scratch() {
  static fs::path folder;
  return folder;
}

void removeScratch() {
  std::error_code ignored;
  fs::remove_all(scratch(), ignored);
}

// Runs a tool's front end on `arguments`; what it printed goes to `out`.
int run(int (*frontEnd)(int, const wchar_t* const*, std::wostream&, const std::locale&),
        const std::vector<std::wstring>& arguments, std::wostringstream& out) {
  std::vector<const wchar_t*> argv;
  for (const std::wstring& argument : arguments) argv.push_back(argument.c_str());
  return frontEnd(static_cast<int>(argv.size()), argv.data(), out, std::locale::classic());
}

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  prepareFuzzProcess();
  scratch() = fs::temp_directory_path() / ("filesplit-round-trip-" + std::to_string(getpid()));
  std::atexit(removeScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring name = wideTexts(data, size, 1).front();
  removeScratch();
  fs::create_directories(scratch() / "in");
  fs::path input;
  try {
    input = scratch() / "in" / platform::nativePath(name);
  } catch (const fs::filesystem_error&) {
    return 0;  // no name of this system
  }
  if (input.parent_path() != scratch() / "in" || !input.has_filename()) return 0;
  {
    std::ofstream file(input, std::ios::binary);
    if (!(file << kInput)) return 0;  // the file system takes no such name
  }
  const std::wstring folder = platform::widePath(scratch());
  std::wostringstream out;
  const int split =
      run(runFrontEnd, {L"filesplit", platform::widePath(input), L"1", folder + L"/parts"}, out);
  // Refused: a name the script cannot carry (a double quote, a control
  // character) or the platform cannot hold.
  if (split != split_exit::kSuccess) return 0;
  if (!platform::isFileName(name)) invariantBroken("split a name the platform cannot hold", {name});
  const int join = run(runJoinFrontEnd, {L"filejoin", folder + L"/parts", folder + L"/out"}, out);
  if (join != join_exit::kSuccess)
    invariantBroken("filejoin did not rebuild what filesplit split", {name});
  if (contents(scratch() / "out" / input.filename()) != kInput)
    invariantBroken("the rebuilt bytes differ", {name});
  return 0;
}
