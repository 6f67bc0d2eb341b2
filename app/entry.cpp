#include "app/entry.h"

#include "app/join_front_end.h"
#include "app/split_front_end.h"
#include "platform/platform.h"
#include "texts/shared_texts.h"

int runTool(FrontEnd frontEnd, int argc, const wchar_t* const* argv, std::wostream& out,
            const std::locale& userLocale) {
  const int exitCode = frontEnd(argc, argv, out, userLocale);
  if (platform::consoleWindowIsOwn()) {
    out << shared_texts::kPressAnyKey << std::endl;
    platform::waitForKey();
  }
  return exitCode;
}

int filesplitMain(int argc, wchar_t** argv) {
  return runTool(runFrontEnd, argc, argv, platform::console(), platform::userLocale());
}

namespace {

// filejoin's failure lines go to standard error.
int runJoinOnConsole(int argc, const wchar_t* const* argv, std::wostream& out,
                     const std::locale& userLocale) {
  return runJoinFrontEnd(argc, argv, out, platform::errorConsole(), userLocale);
}

}  // namespace

int filejoinMain(int argc, wchar_t** argv) {
  return runTool(runJoinOnConsole, argc, argv, platform::console(), platform::userLocale());
}
