// The user's interrupt on Windows: Ctrl+C, Ctrl+Break, the console window
// closed, a logoff or a shutdown, which the system hands to a routine on a
// thread of its own.
#include "interrupts.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "call_journal.h"
#include "console_window_facts.h"
#include "platform/threads.h"

namespace {

std::mutex handlerMutex;
std::function<int()> handler;                      // guarded by handlerMutex
int unansweredCode = platform::kInterruptTooLate;  // guarded by handlerMutex

// How long the handler may take before the routine ends the process
// without its answer: less than the 5 seconds Windows gives a routine for
// a closed window, a logoff or a shutdown.
constexpr std::chrono::seconds kPatience{3};

bool isInterrupt(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT ||
         event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

// Ends the process now with `code`, its other threads where they stand:
// ExitProcess would run the DLLs' detach code, which can wait forever on a
// lock a stopped thread holds. A test that records the calls sees the end
// instead.
void endProcess(int code) {
  call_journal::note(L"TerminateProcess " + std::to_wstring(code));
  if (call_journal::recording()) return;
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
}

// Ends the process with `code` unless disarmed within kPatience: a handler
// waiting on a lock that the run holds across a slow call (a file's
// creation, a console write held by a selection) does not keep the process
// from ending, and the rebuilt file, marked for deletion, goes with it.
class Watchdog {
 public:
  explicit Watchdog(int code) {
    if (code == platform::kInterruptTooLate) return;
    try {
      thread_ = platform::startThread([this, code] { watch(code); });
    } catch (const platform::ThreadStartFailure&) {
      // Without a watchdog the handler's answer is waited for.
    }
  }
  ~Watchdog() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      answered_ = true;
    }
    woken_.notify_one();
    if (thread_.joinable()) thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  void watch(int code) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!woken_.wait_for(lock, kPatience, [this] { return answered_; })) endProcess(code);
  }

  std::mutex mutex_;
  std::condition_variable woken_;
  bool answered_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace

namespace win_interrupts {

BOOL WINAPI onControl(DWORD event) {
  if (!isInterrupt(event)) return FALSE;
  // A logoff in the services' session is another user's: the run goes on.
  if (event == CTRL_LOGOFF_EVENT && console_window_facts::inServicesSession()) return TRUE;
  // Held to the end: the job that set the handler cannot end and take it
  // away while it runs.
  std::unique_lock<std::mutex> lock(handlerMutex);
  if (!handler) return FALSE;  // the system's own handling
  int code = platform::kInterruptTooLate;
  {
    const Watchdog watchdog(unansweredCode);
    code = handler();
  }
  // The rebuilt file is marked for deletion or removed by now: it goes as
  // the system closes the process's handles.
  if (code != platform::kInterruptTooLate) endProcess(code);
  lock.unlock();
  // Too late to matter: the run goes on to its end, which ends the process.
  // A closed window or a logoff ends it once the routine returns, so the
  // routine waits for that end instead.
  const bool closing = event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT;
  if (closing && code == platform::kInterruptTooLate) Sleep(INFINITE);
  return TRUE;
}

int handlerCode() {
  const std::lock_guard<std::mutex> lock(handlerMutex);
  return handler ? handler() : platform::kInterruptTooLate;
}

}  // namespace win_interrupts

namespace platform {

void onInterrupt(std::function<int()> onInterrupt, int unanswered) {
  static const bool watching = SetConsoleCtrlHandler(win_interrupts::onControl, TRUE) != FALSE;
  (void)watching;  // without the routine, the system's own handling
  const std::lock_guard<std::mutex> lock(handlerMutex);
  handler = std::move(onInterrupt);
  unansweredCode = unanswered;
}

}  // namespace platform
