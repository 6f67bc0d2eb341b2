#include "platform/unix/input_watch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>

#include "linux_calls.h"
#include "platform/unix/sys_calls.h"

namespace input_watch {
namespace {

// Descriptors below this number can hold a lease: its break is counted in
// a slot of a fixed table, the only kind a signal handler may touch.
constexpr int kMostLeased = 1024;
constexpr int kBreakSignal = SIGIO;

std::array<std::atomic<uint32_t>, kMostLeased> leaseBreaks{};

// The inotify descriptors watching an input, and the writes seen so far.
struct Watch {
  int inotify = -1;
  uint32_t seen = 0;
};

struct Watches {
  std::mutex lock;
  std::map<int, Watch> byInput;
};

Watches& watches() {
  static Watches table;
  return table;
}

// The writer's open waits until the lease is let go, and the kernel waits
// for that at most /proc/sys/fs/lease-break-time (45 s): let go at once.
// Only async-signal-safe calls here, past the seam, whose lock a signal may
// find taken.
void onLeaseBreak(int, siginfo_t* info, void*) {
  const int saved = errno;
  const int fd = info->si_fd;
  if (fd >= 0 && fd < kMostLeased) {
    sys::fcntl(fd, F_SETLEASE, F_UNLCK);
    leaseBreaks[static_cast<size_t>(fd)].fetch_add(1);
  }
  errno = saved;
}

// Without the handler the break's signal would end the process.
bool handlerInstalled() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_sigaction = onLeaseBreak;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    return sys::sigaction(kBreakSignal, &action, nullptr) == 0;
  }();
  return installed;
}

}  // namespace

bool start(int fd) {
  if (fd >= 0 && fd < kMostLeased && handlerInstalled()) {
    leaseBreaks[static_cast<size_t>(fd)] = 0;
    if (sys::takeReadLease(fd, kBreakSignal) == 0) return true;
    if (errno == EAGAIN) return false;
  }
  const int inotify = sys::watchWrites(fd);
  if (inotify < 0) return true;  // the times alone
  Watches& table = watches();
  const std::lock_guard<std::mutex> held(table.lock);
  table.byInput[fd] = Watch{inotify, 0};
  return true;
}

uint32_t writersSeen(int fd) {
  uint32_t seen = fd >= 0 && fd < kMostLeased ? leaseBreaks[static_cast<size_t>(fd)].load() : 0;
  Watches& table = watches();
  const std::lock_guard<std::mutex> held(table.lock);
  const auto found = table.byInput.find(fd);
  if (found == table.byInput.end()) return seen;
  Watch& watch = found->second;
  alignas(inotify_event) char events[4096];
  while (sys::readQuietly(watch.inotify, events, sizeof events) > 0) ++watch.seen;
  return seen + watch.seen;
}

void stop(int fd) {
  if (fd >= 0 && fd < kMostLeased) leaseBreaks[static_cast<size_t>(fd)] = 0;
  Watches& table = watches();
  const std::lock_guard<std::mutex> held(table.lock);
  const auto found = table.byInput.find(fd);
  if (found == table.byInput.end()) return;
  sys::closeQuietly(found->second.inotify);
  table.byInput.erase(found);
}

}  // namespace input_watch
