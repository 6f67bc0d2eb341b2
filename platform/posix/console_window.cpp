// A terminal outlives the programs run in it: the window is never the
// tool's alone, and nothing waits for a key (unless a test fakes a console).
#include "platform/platform.h"

namespace platform {

bool consoleWindowIsOwn() {
  const std::optional<unsigned> faked = fakedConsoleProcesses();
  return faked && *faked == 1;
}

void waitForKey() { takeFakedKey(); }

}  // namespace platform
