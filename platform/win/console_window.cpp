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

// User32's call `name` of type `Call`; null where it cannot be had. Loaded
// only when asked, never in session 0: a console tool that imports user32
// is tied to a desktop from its start, and a service's desktop heap is
// small enough for that to fail the process. User32 is a known DLL: it is
// only ever loaded from the system's folder.
template <typename Call>
Call user32Call(const char* name) {
  const HMODULE user32 = LoadLibraryW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  // Through the generic function type, which a cast may reach from any.
  using Generic = void (*)();
  return reinterpret_cast<Call>(reinterpret_cast<Generic>(GetProcAddress(user32, name)));
}

// Whether the console's window shows. A terminal that hosts the console
// (Windows Terminal) keeps the console's own window hidden and owns it:
// then the owner is what shows.
bool windowShown() {
  const HWND window = GetConsoleWindow();
  using IsWindowVisibleCall = BOOL(WINAPI*)(HWND);
  using GetWindowCall = HWND(WINAPI*)(HWND, UINT);
  const auto isVisible = user32Call<IsWindowVisibleCall>("IsWindowVisible");
  const auto getWindow = user32Call<GetWindowCall>("GetWindow");
  if (window == nullptr || isVisible == nullptr || getWindow == nullptr) return false;
  if (isVisible(window)) return true;
  const HWND owner = getWindow(window, GW_OWNER);
  return owner != nullptr && isVisible(owner);
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
  facts.servicesSession = sessionZero();
  facts.shown = !facts.servicesSession && windowShown();
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
