// The user's interrupt on Windows: Ctrl+C, Ctrl+Break and the console window
// closed, which the system hands to a routine on a thread of its own.
#include <cstdlib>
#include <functional>
#include <mutex>
#include <utility>

#include "interrupts.h"
#include "platform/platform.h"

namespace {

std::mutex handlerMutex;
std::function<int()> handler;  // guarded by handlerMutex

}  // namespace

namespace win_interrupts {

BOOL WINAPI onControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  // Held to the end: the job that set the handler cannot end and take it
  // away while it runs.
  handlerMutex.lock();
  if (!handler) {
    handlerMutex.unlock();
    return FALSE;  // the system's own handling
  }
  const int code = handler();
  // Open handles close as the process ends: a file marked for deletion goes.
  if (code != platform::kInterruptTooLate) ExitProcess(static_cast<UINT>(code));
  handlerMutex.unlock();
  // Too late to matter: the run goes on to its end, which ends the process.
  // A closed window or a logoff ends it once the routine returns, so the
  // routine waits for that end instead.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    Sleep(INFINITE);
  return TRUE;
}

int handlerCode() {
  const std::lock_guard<std::mutex> lock(handlerMutex);
  return handler ? handler() : platform::kInterruptTooLate;
}

}  // namespace win_interrupts

namespace platform {

void onInterrupt(std::function<int()> onInterrupt) {
  static const bool watching = SetConsoleCtrlHandler(win_interrupts::onControl, TRUE) != FALSE;
  (void)watching;  // without the routine, the system's own handling
  const std::lock_guard<std::mutex> lock(handlerMutex);
  handler = std::move(onInterrupt);
}

}  // namespace platform
