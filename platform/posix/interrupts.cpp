// The user's interrupt on POSIX systems: SIGINT, SIGTERM and SIGHUP, each
// handed by the signal handler, which may do next to nothing, to a thread
// of the process's own that runs the job's handler and ends the process.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "interrupts.h"
#include "platform/platform.h"
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::mutex handlerMutex;
std::function<int()> handler;  // guarded by handlerMutex
int wakeFds[2] = {-1, -1};     // the handler writes the signal's number, the watcher reads it

void noteSignal(int signal) {
  const int saved = errno;  // the interrupted code's
  const auto number = static_cast<unsigned char>(signal);
  (void)!::write(wakeFds[1], &number, 1);
  errno = saved;
}

}  // namespace

namespace posix_interrupts {

[[noreturn]] void endWith(int signal) {
  // Held to the end: the job that set the handler cannot end and take it
  // away while it runs.
  handlerMutex.lock();
  if (handler) std::_Exit(handler());
  handlerMutex.unlock();
  // No job to tell: ended by the signal, as its default would.
  (void)::signal(signal, SIG_DFL);
  (void)::raise(signal);
  std::_Exit(128 + signal);
}

}  // namespace posix_interrupts

namespace {

void watch() {
  for (;;) {
    unsigned char number = 0;
    // Not through the seam: this thread's wait is no call of a job's.
    const ssize_t n = ::read(wakeFds[0], &number, 1);
    if (n == 1) posix_interrupts::endWith(number);
    if (n == 0 || errno != EINTR) return;
  }
}

bool startWatching() {
  if (::pipe2(wakeFds, O_CLOEXEC) != 0) return false;
  struct sigaction action {};
  action.sa_handler = noteSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
  std::thread(watch).detach();
  return true;
}

}  // namespace

namespace platform {

void onInterrupt(std::function<int()> onInterrupt) {
  static const bool watching = startWatching();
  (void)watching;  // without a pipe, the signals keep their default
  const std::lock_guard<std::mutex> lock(handlerMutex);
  handler = std::move(onInterrupt);
}

}  // namespace platform
