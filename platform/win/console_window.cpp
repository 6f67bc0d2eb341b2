// Whether the console window closes with the process and someone sees it,
// and the wait for a key before it does. Win32 console calls rather than
// the C runtime's _getwch, which Wine's runtime may not implement as
// msvcrt.dll does.
#include "console_window_facts.h"
#include "platform/platform.h"

namespace {

bool isConsole(DWORD standardStream) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(standardStream), &mode) != 0;
}

// A terminal that hosts the console (Windows Terminal) keeps the console's
// own window hidden and owns it: then the owner is what shows.
bool windowShown() {
  const HWND window = GetConsoleWindow();
  if (window == nullptr) return false;
  if (IsWindowVisible(window)) return true;
  const HWND owner = GetWindow(window, GW_OWNER);
  return owner != nullptr && IsWindowVisible(owner);
}

bool sessionZero() {
  DWORD session = 0;
  return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
}

}  // namespace

namespace console_window_facts {

console_window::Facts gather() {
  if (const std::optional<console_window::Facts> faked = platform::fakedConsoleWindow())
    return *faked;
  console_window::Facts facts;
  facts.onConsole = isConsole(STD_INPUT_HANDLE) && isConsole(STD_OUTPUT_HANDLE);
  if (!facts.onConsole) return facts;
  // Room for two: whether anyone else is attached is all that matters.
  DWORD processes[2] = {};
  facts.processes = GetConsoleProcessList(processes, 2);
  facts.shown = windowShown();
  facts.servicesSession = sessionZero();
  return facts;
}

bool inServicesSession() {
  if (const std::optional<console_window::Facts> faked = platform::fakedConsoleWindow())
    return faked->servicesSession;
  return sessionZero();
}

}  // namespace console_window_facts

namespace platform {

bool consoleWindowIsOwn() { return console_window::waitsForKey(console_window_facts::gather()); }

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
