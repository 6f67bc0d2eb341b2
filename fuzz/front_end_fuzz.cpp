// The command line in-process on arbitrary wide arguments, and on the same
// data as the byte arguments a POSIX program receives: only exit codes of
// the table, no crash, the usage text after every failure, and never a
// success when nothing could be written; and every byte argument decodes to
// a text that names exactly its bytes again. The fault seam makes every open and
// every folder creation fail, so that no argument can make the fuzzer write
// anywhere; the checks before them run against a folder of sample inputs.
// That folder becomes the current one before the fuzzer reads its corpus:
// give the corpus folders and -artifact_prefix as absolute paths.
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/split_front_end.h"
#include "fuzz_support.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/unix/native_text.h"
#include "script/path_rules.h"
#include "split/split_exit_codes.h"
#include "texts/split_texts.h"

namespace fs = std::filesystem;
namespace hooks = platform_test_hooks;

namespace {

void writeSample(const char* name, uint64_t size) {
  std::ofstream(name, std::ios::binary).put('x');
  fs::resize_file(name, size);
}

fs::path& sampleFolder() {
  static fs::path folder;
  return folder;
}

void removeSampleFolder() {
  std::error_code ignored;
  fs::remove_all(sampleFolder(), ignored);
}

// A scratch folder with an input of three pieces and more, one smaller than
// a piece, an empty one and a folder, made the current folder; removed when
// the fuzzer exits.
void enterSampleFolder() {
  sampleFolder() = fs::temp_directory_path() / ("filesplit-fuzz-" + std::to_string(getpid()));
  fs::create_directories(sampleFolder() / "folder");
  std::atexit(removeSampleFolder);
  fs::current_path(sampleFolder());
  writeSample("in.bin", 3 * 1048576 + 5);
  writeSample("small.bin", 4);
  std::ofstream("empty.bin", std::ios::binary);
}

bool isTableCode(int code) {
  return code == split_exit::kFailed ||
         (code >= split_exit::kInputMissing && code <= split_exit::kOutputFolderFailed);
}

bool endsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Up to `most` byte texts from `data`, a 0 byte ending each, as main gets
// them.
std::vector<std::string> byteTexts(const uint8_t* data, size_t size, size_t most) {
  std::vector<std::string> texts(1);
  for (size_t at = 0; at < size; ++at) {
    if (data[at] != 0) {
      texts.back().push_back(static_cast<char>(data[at]));
    } else if (texts.size() == most) {
      break;
    } else {
      texts.emplace_back();
    }
  }
  return texts;
}

// Runs the command line on `texts` and checks what every run must keep.
void runCommandLine(const std::vector<std::wstring>& texts) {
  std::vector<const wchar_t*> argv;
  for (const auto& text : texts) argv.push_back(text.c_str());
  argv.push_back(nullptr);
  std::wostringstream out;
  const int code =
      runFrontEnd(static_cast<int>(texts.size()), argv.data(), out, std::locale::classic());
  if (!isTableCode(code)) invariantBroken("exit code " + std::to_string(code), texts);
  // The usage shows the program name as typed, its control characters escaped.
  const std::wstring program = texts.empty() ? L"" : texts[0].c_str();
  if (!endsWith(out.str(), split_texts::usage(program)))
    invariantBroken("no usage text at the end", texts);
}

// The byte arguments as main decodes them: each names exactly its own bytes
// again, and so does the file name the plan takes from it.
std::vector<std::wstring> decodedArguments(const std::vector<std::string>& bytes) {
  std::vector<const char*> argv;
  for (const auto& text : bytes) argv.push_back(text.c_str());
  const std::vector<std::wstring> texts =
      posix_text::decodeArguments(static_cast<int>(argv.size()), argv.data());
  for (size_t i = 0; i < texts.size(); ++i) {
    if (platform::nativePath(texts[i]).native() != bytes[i])
      invariantBroken("argument " + std::to_string(i) + " names other bytes", texts);
    if (platform::nativePath(path_rules::fileName(texts[i])).native() !=
        fs::path(bytes[i]).filename().native())
      invariantBroken("the file name of argument " + std::to_string(i) + " changed", texts);
  }
  return texts;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  prepareFuzzProcess();
  const bool seam =
      hooks::injectFault({hooks::FaultPoint::open, 0, EACCES, SIZE_MAX, {}}) &&
      hooks::injectFault({hooks::FaultPoint::folderCreation, 0, EACCES, SIZE_MAX, {}});
  if (!seam) invariantBroken("this build has no fault seam, so the target would write files", {});
  enterSampleFolder();
  return 0;
}

// Argument 0 is the first text; up to four more follow.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  runCommandLine(size == 0 ? std::vector<std::wstring>{} : wideTexts(data, size, 5));
  if (size != 0) runCommandLine(decodedArguments(byteTexts(data, size, 5)));
  return 0;
}
