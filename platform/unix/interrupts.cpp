// The user's interrupt on UNIX systems: SIGINT, SIGTERM and SIGHUP, each
// handed by the signal handler, which may do next to nothing, to a watcher
// thread that runs the job's handler and ends the process. The watcher runs
// while a job has a handler set; a signal the process started with ignored
// (nohup, trap '' INT) stays ignored.
#include "interrupts.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/platform.h"
#include "platform/threads.h"
#include "sys_calls.h"

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr unsigned char kStopWatching = 0;  // no signal has this number

// Holds a T that is never destroyed, in static storage: made before main,
// it allocates nothing, so nothing can fail there with no way to end
// cleanly.
template <typename T>
union NeverDestroyed {
  NeverDestroyed() noexcept : value() {}
  ~NeverDestroyed() {}  // NOLINT(modernize-use-equals-default): the value stays
  T value;
};

// Never destroyed: the watcher may still run, and take a signal, while the
// process ends.
std::mutex handlerMutex;
NeverDestroyed<std::function<int()>> handlerHome;
std::function<int()>& handler = handlerHome.value;  // guarded by handlerMutex

// The watcher and what it changed, set up and taken down under setupMutex.
std::mutex setupMutex;
NeverDestroyed<std::thread> watcherHome;
std::thread& watcher = watcherHome.value;
int wakeFds[2] = {-1, -1};  // the handler writes the signal's number, the watcher reads it
struct sigaction before[std::size(kSignals)];
bool taken[std::size(kSignals)] = {};

void noteSignal(int signal) {
  const int saved = errno;  // the interrupted code's
  const auto number = static_cast<unsigned char>(signal);
  (void)sys::writeQuietly(wakeFds[1], &number, 1);
  errno = saved;
}

void watch() {
  for (;;) {
    unsigned char number = 0;
    // Not through the seam: this thread's wait is no call of a job's.
    const ssize_t n = sys::readQuietly(wakeFds[0], &number, 1);
    if (n == 1 && number == kStopWatching) return;
    if (n == 1) posix_interrupts::endWith(number);
    if (n == 0 || (n < 0 && errno != EINTR)) return;
  }
}

// The signals the process did not start with ignored now go to the watcher.
void takeSignals() {
  struct sigaction action {};
  action.sa_handler = noteSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    if (sys::sigaction(kSignals[i], nullptr, &before[i]) != 0 || before[i].sa_handler == SIG_IGN)
      continue;
    taken[i] = sys::sigaction(kSignals[i], &action, nullptr) == 0;
  }
}

void giveSignalsBack() {
  for (size_t i = 0; i < std::size(kSignals); ++i)
    if (std::exchange(taken[i], false)) (void)::sigaction(kSignals[i], &before[i], nullptr);
}

void startWatching() {
  // Without a pipe the signals keep their dispositions.
  if (wakeFds[0] < 0 && sys::openPipe(wakeFds) != 0) return;
  watcher = platform::startThread(watch);
  takeSignals();
}

void stopWatching() {
  giveSignalsBack();
  (void)sys::writeQuietly(wakeFds[1], &kStopWatching, 1);
  watcher.join();
}

}  // namespace

namespace posix_interrupts {

void endWith(int signal) {
  {
    // Held to the end: the job that set the handler cannot end and take it
    // away while it runs.
    const std::lock_guard<std::mutex> lock(handlerMutex);
    if (handler) {
      const int code = handler();
      if (code != platform::kInterruptTooLate) std::_Exit(code);
      return;
    }
  }
  // No job to tell: ended by the signal, as its default would.
  (void)::signal(signal, SIG_DFL);
  (void)::raise(signal);
  std::_Exit(128 + signal);
}

int handlerCode() {
  const std::lock_guard<std::mutex> lock(handlerMutex);
  return handler ? handler() : platform::kInterruptTooLate;
}

}  // namespace posix_interrupts

namespace platform {

// The watcher waits for the handler however long it takes: no system ends
// the process meanwhile.
void onInterrupt(std::function<int()> onInterrupt, int) {
  const std::lock_guard<std::mutex> setup(setupMutex);
  const bool wanted = static_cast<bool>(onInterrupt);
  if (wanted && !watcher.joinable()) startWatching();
  {
    const std::lock_guard<std::mutex> lock(handlerMutex);
    handler = std::move(onInterrupt);
  }
  if (!wanted && watcher.joinable()) stopWatching();
}

}  // namespace platform
