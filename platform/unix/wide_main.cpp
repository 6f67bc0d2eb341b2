#include "wide_main.h"

#include <string>
#include <vector>

#include "native_text.h"
#include "platform/platform.h"

namespace posix_main {

int run(int argc, char** argv, WideMain wideMain) {
  platform::initProcess();
  std::vector<std::wstring> arguments = posix_text::decodeArguments(argc, argv);
  std::vector<wchar_t*> wideArgv;
  wideArgv.reserve(arguments.size() + 1);
  for (auto& argument : arguments) wideArgv.push_back(argument.data());
  wideArgv.push_back(nullptr);
  return wideMain(argc, wideArgv.data());
}

}  // namespace posix_main
