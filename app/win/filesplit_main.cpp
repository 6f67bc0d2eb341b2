// The process entry on Windows: the runtime hands the arguments over as
// UTF-16 (linked with -municode), exactly as typed.
#include "app/entry.h"
#include "platform/platform.h"

int wmain(int argc, wchar_t** argv) {
  platform::initProcess();
  return filesplitMain(argc, argv);
}
