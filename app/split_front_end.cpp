#include "app/split_front_end.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "split/split_exit_codes.h"
#include "split/split_job.h"
#include "texts/split_texts.h"

namespace {

constexpr int kDefaultSizeMb = 512;
constexpr uint64_t kMegabyte = 1048576;

// The decimal value of a text of digits only; too large a value gives
// 2147483647, as the runtime's conversion does, without a word (kept on
// purpose: callers compare the settings lines and the exit code).
int32_t decimalValue(const std::wstring& digits) {
  int64_t value = 0;
  for (const wchar_t c : digits) {
    value = value * 10 + (c - L'0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(value);
}

// Reads the size argument into `sizeMb`. Prints "Invalid Divide-size." once
// per character that is not a digit (kept on purpose: callers compare this
// text), or once for a zero value, and returns 7 then; else 0.
int readSize(const std::wstring& argument, int32_t& sizeMb, std::wostream& out) {
  int result = split_exit::kSuccess;
  for (const wchar_t c : argument) {
    if (c >= L'0' && c <= L'9') continue;
    out << split_texts::kInvalidSize << std::endl;
    result = split_exit::kInvalidSize;
  }
  if (result != split_exit::kSuccess) return result;
  sizeMb = decimalValue(argument);
  if (sizeMb != 0) return split_exit::kSuccess;
  out << split_texts::kInvalidSize << std::endl;
  return split_exit::kInvalidSize;
}

}  // namespace

void printUsage(std::wostream& out, const wchar_t* typed) {
  out << split_texts::usage(typed) << std::flush;
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
    // A fourth argument is ignored, and with it the folder's line (kept on
    // purpose: callers compare these lines).
    out << split_texts::settings(input,
                                 split_texts::grouped(static_cast<uint32_t>(sizeMb), out.getloc()),
                                 argc == 4 ? std::optional<std::wstring>(folder) : std::nullopt)
        << std::flush;
    if (result == split_exit::kSuccess) {
      out << split_texts::kDividing << std::endl;
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
