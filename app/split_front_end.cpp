#include "app/split_front_end.h"

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "split/split_exit_codes.h"
#include "split/split_job.h"

namespace {

constexpr int kDefaultSizeMb = 512;
constexpr uint64_t kMegabyte = 1048576;

// The decimal value of a text of digits only; too large a value gives
// 2147483647, as the runtime's conversion does.
int32_t decimalValue(const std::wstring& digits) {
  int64_t value = 0;
  for (const wchar_t c : digits) {
    value = value * 10 + (c - L'0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(value);
}

// Reads the size argument into `sizeMb`. Prints "Invalid Divide-size." once
// per character that is not a digit, or once for a zero value, and returns
// 7 then; else 0.
int readSize(const std::wstring& argument, int32_t& sizeMb, std::wostream& out) {
  int result = split_exit::kSuccess;
  for (const wchar_t c : argument) {
    if (c >= L'0' && c <= L'9') continue;
    out << L"Invalid Divide-size." << std::endl;
    result = split_exit::kInvalidSize;
  }
  if (result != split_exit::kSuccess) return result;
  sizeMb = decimalValue(argument);
  if (sizeMb != 0) return split_exit::kSuccess;
  out << L"Invalid Divide-size." << std::endl;
  return split_exit::kInvalidSize;
}

}  // namespace

void printUsage(std::wostream& out, const wchar_t* typed) {
  const std::wstring program = platform::escapeControls(typed);
  out << std::endl
      << L"Usage:" << std::endl
      << L"> " << program << L" filename [divide size(MB) [output folder] ]" << std::endl
      << L"  if [divide size] is not entered, 512MB is used." << std::endl
      << L"  if [output folder] is not entered, Input file folder + input file name w/o "
         L"extension is used."
      << std::endl
      << L"  ex. " << program << L" C:\\Users\\aaa.iso 10 C:\\Users\\Output" << std::endl;
}

int runFrontEnd(int argc, const wchar_t* const* argv, std::wostream& out,
                const std::locale& userLocale) {
  const std::locale previous = out.imbue(userLocale);
  auto job = std::make_unique<SplitJob>(out);
  int result = split_exit::kSuccess;
  if (argc < 2) {
    result = split_exit::kFailed;
  } else {
    const std::wstring input = argv[1];
    int32_t sizeMb = kDefaultSizeMb;
    if (argc >= 3) result = readSize(argv[2], sizeMb, out);
    const std::wstring folder = argc > 3 ? argv[3] : L"";
    out << L"File: " << platform::escapeControls(input) << std::endl;
    out << L"Divide size: " << sizeMb << L"MB" << std::endl;
    if (argc == 4) out << L"Output Folder: " << platform::escapeControls(folder) << std::endl;
    if (result == split_exit::kSuccess) {
      out << L"Dividing....." << std::endl;
      const uint64_t pieceSize = static_cast<uint32_t>(sizeMb) * kMegabyte;
      result = job->run(input.c_str(), folder.c_str(), pieceSize);
    }
  }
  if (result != split_exit::kSuccess)
    printUsage(out, argc > 0 && argv[0] != nullptr ? argv[0] : L"");
  out.imbue(previous);
  job.reset();
  return result;
}
