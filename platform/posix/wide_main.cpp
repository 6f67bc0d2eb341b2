#include "wide_main.h"

#include <cstring>
#include <string>
#include <vector>

#include "native_text.h"
#include "platform/platform.h"

namespace posix_main {

int run(int argc, char** argv, WideMain wideMain, Usage usage, int refused) {
  platform::initProcess();
  std::vector<std::wstring> arguments(static_cast<size_t>(argc > 0 ? argc : 0));
  for (int i = 0; i < argc; ++i) {
    if (posix_text::decodeExactly(argv[i], arguments[static_cast<size_t>(i)])) continue;
    // A name that cannot be decoded exactly would name another file.
    std::wostream& out = platform::console();
    out << L"Argument " << i << L" is not valid text in this system's encoding." << std::endl;
    usage(out, posix_text::decodeLossy(argv[0], std::strlen(argv[0])).c_str());
    return refused;
  }
  std::vector<wchar_t*> wideArgv;
  for (auto& argument : arguments) wideArgv.push_back(argument.data());
  wideArgv.push_back(nullptr);
  return wideMain(argc, wideArgv.data());
}

}  // namespace posix_main
