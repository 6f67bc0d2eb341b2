// The process entry on POSIX systems: the arguments, decoded as file names
// are (every byte kept, see native_text.h), go to the same wide entry that
// Windows calls wmain.
#include <string>
#include <vector>

#include "app/entry.h"
#include "native_text.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::initProcess();
  std::vector<std::wstring> arguments = posix_text::decodeArguments(argc, argv);
  std::vector<wchar_t*> wideArgv;
  for (auto& argument : arguments) wideArgv.push_back(argument.data());
  wideArgv.push_back(nullptr);
  return filesplitMain(argc, wideArgv.data());
}
