#include "app/entry.h"

#include "app/join_front_end.h"
#include "app/split_front_end.h"
#include "platform/platform.h"

int filesplitMain(int argc, wchar_t** argv) {
  return runFrontEnd(argc, argv, platform::console(), platform::userLocale());
}

int filejoinMain(int argc, wchar_t** argv) {
  return runJoinFrontEnd(argc, argv, platform::console(), platform::userLocale());
}
