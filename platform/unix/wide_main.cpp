#include "wide_main.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "native_text.h"
#include "platform/platform.h"

namespace posix_main {

namespace {

// Room for a few allocations and a failure's exception. Where the runtime
// could not set aside its own room for exceptions before main, the first
// failed allocation would end the process with no word (exit 134): a
// process that cannot have this much says so instead.
constexpr size_t kRoomAtStart = size_t{256} * 1024;

}  // namespace

int run(int argc, char** argv, WideMain wideMain, NoMemory noMemory) {
  void* room = std::malloc(kRoomAtStart);
  if (room == nullptr) {
    platform::writeFixedLine(noMemory.stream, noMemory.line);
    // Ended at once: what would run at exit (the library's, an
    // instrumented build's counters) has no room either.
    std::_Exit(noMemory.exitCode);
  }
  std::free(room);
  platform::initProcess();
  std::vector<std::wstring> arguments = posix_text::decodeArguments(argc, argv);
  std::vector<wchar_t*> wideArgv;
  wideArgv.reserve(arguments.size() + 1);
  for (auto& argument : arguments) wideArgv.push_back(argument.data());
  wideArgv.push_back(nullptr);
  return wideMain(argc, wideArgv.data());
}

}  // namespace posix_main
