// Whether the console window closes with the process, and the wait for a
// key before it does. Win32 console calls rather than the C runtime's
// _getwch, which Wine's runtime may not implement as msvcrt.dll does.
#include "platform/platform.h"

namespace {

bool isConsoleWindow(DWORD standardStream) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(standardStream), &mode) != 0;
}

}  // namespace

namespace platform {

bool consoleWindowIsOwn() {
  if (const std::optional<unsigned> faked = fakedConsoleProcesses()) return *faked == 1;
  if (!isConsoleWindow(STD_INPUT_HANDLE) || !isConsoleWindow(STD_OUTPUT_HANDLE)) return false;
  // Room for two: whether anyone else is attached is all that matters.
  DWORD processes[2] = {};
  return GetConsoleProcessList(processes, 2) == 1;
}

void waitForKey() {
  if (takeFakedKey()) return;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  // A key pressed while the tool ran must not close the window unread.
  FlushConsoleInputBuffer(input);
  INPUT_RECORD record{};
  DWORD count = 0;
  while (ReadConsoleInputW(input, &record, 1, &count) && count == 1) {
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
  }
}

}  // namespace platform
