// A terminal outlives the programs run in it: the window is never the
// tool's alone, and nothing waits for a key (unless a test fakes a console).
#include "platform/console_window.h"

#include "platform/platform.h"

namespace platform {

bool consoleWindowIsOwn() {
  const std::optional<console_window::Facts> faked = fakedConsoleWindow();
  return faked && console_window::waitsForKey(*faked);
}

void waitForKey() { takeFakedKey(); }

}  // namespace platform
