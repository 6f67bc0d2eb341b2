// The process entry on POSIX systems: the arguments, decoded from the
// locale's encoding, go to the same wide entry that Windows calls wmain.
#include <cstring>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/front_end.h"
#include "native_text.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::initProcess();
  std::vector<std::wstring> arguments(static_cast<size_t>(argc > 0 ? argc : 0));
  for (int i = 0; i < argc; ++i) {
    if (posix_text::decodeExactly(argv[i], arguments[static_cast<size_t>(i)])) continue;
    // A name that cannot be decoded exactly would name another file.
    std::wostream& out = platform::console();
    out << L"Argument " << i << L" is not valid text in this system's encoding." << std::endl;
    printUsage(out, posix_text::decodeLossy(argv[0], std::strlen(argv[0])).c_str());
    return 1;
  }
  std::vector<wchar_t*> wideArgv;
  wideArgv.reserve(arguments.size() + 1);
  for (auto& argument : arguments) wideArgv.push_back(argument.data());
  wideArgv.push_back(nullptr);
  return filesplitMain(argc, wideArgv.data());
}
