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

constexpr int kBreakSignal = SIGIO;

// A lease's breaks are counted in a slot of a small fixed table, the only
// kind a signal handler may touch: it finds the slot by the descriptor the
// break names, whatever its number. A process leases its one input at a
// time; with every slot taken, an input is watched by inotify alone.
struct LeaseSlot {
  std::atomic<int> fd{-1};
  std::atomic<uint32_t> breaks{0};
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<uint32_t>::is_always_lock_free,
              "a signal handler touches only lock-free atomics");
constexpr size_t kLeaseSlots = 16;
std::array<LeaseSlot, kLeaseSlots> leases;

LeaseSlot* slotOf(int fd) {
  for (LeaseSlot& slot : leases)
    if (slot.fd.load() == fd) return &slot;
  return nullptr;
}

// What the main side keeps of a watched input: the inotify descriptor
// watching it for modifications, and the writes seen so far.
struct Watch {
  LeaseSlot* lease = nullptr;
  int inotify = -1;
  uint32_t modifications = 0;
  uint32_t writers = 0;  // lease breaks taken for writers
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
  if (LeaseSlot* slot = info->si_fd >= 0 ? slotOf(info->si_fd) : nullptr) {
    sys::fcntl(info->si_fd, F_SETLEASE, F_UNLCK);
    slot->breaks.fetch_add(1);
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

// A free slot claimed for `fd`, its count at 0; none when all are taken.
LeaseSlot* claimSlot(int fd) {
  for (LeaseSlot& slot : leases) {
    int free = -1;
    if (!slot.fd.compare_exchange_strong(free, fd)) continue;
    slot.breaks = 0;
    return &slot;
  }
  return nullptr;
}

// The lease taken on `fd` in a slot of its own: 0, or -1 with errno set
// (EAGAIN: held open for writing right now; ENOLCK: no slot).
int lease(int fd, Watch& watch) {
  watch.lease = handlerInstalled() ? claimSlot(fd) : nullptr;
  if (watch.lease == nullptr) {
    errno = ENOLCK;
    return -1;
  }
  if (sys::takeReadLease(fd, kBreakSignal) == 0) return 0;
  watch.lease->fd = -1;
  watch.lease = nullptr;
  return -1;
}

}  // namespace

bool start(int fd) {
  stop(fd);  // a watch left by the number's last descriptor, closed elsewhere
  Watch watch;
  if (fd >= 0 && lease(fd, watch) != 0 && errno == EAGAIN) return false;
  // Alongside the lease, the watch tells a break for a writer that wrote
  // from one whose open was refused (seen, below).
  watch.inotify = sys::watchWrites(fd);
  if (watch.lease == nullptr && watch.inotify < 0) return true;  // the times alone
  Watches& table = watches();
  const std::lock_guard<std::mutex> held(table.lock);
  table.byInput[fd] = watch;
  return true;
}

Seen seen(int fd) {
  Watches& table = watches();
  const std::lock_guard<std::mutex> held(table.lock);
  const auto found = table.byInput.find(fd);
  if (found == table.byInput.end()) return {};
  Watch& watch = found->second;
  alignas(inotify_event) char events[4096];
  if (watch.inotify >= 0)
    while (sys::readQuietly(watch.inotify, events, sizeof events) > 0) ++watch.modifications;
  // A break is any open for writing, the refused ones too (an O_NONBLOCK
  // open answered EWOULDBLOCK, as touch(1) makes one to set only the
  // times): it counts as a writer where the watch cannot vouch for it, or
  // the file is still open for writing (a lease cannot be taken again), as
  // it is while a program has it mapped for writing. What a writer that
  // came and went wrote is seen by the watch (write, truncation) or in the
  // modification time (its mapping's first store to a page).
  const uint32_t breaks = watch.lease != nullptr ? watch.lease->breaks.exchange(0) : 0;
  if (breaks > 0 && (watch.inotify < 0 || sys::takeReadLease(fd, kBreakSignal) != 0))
    watch.writers += breaks;
  return {true, watch.modifications + watch.writers};
}

void stop(int fd) {
  Watches& table = watches();
  const std::lock_guard<std::mutex> held(table.lock);
  const auto found = table.byInput.find(fd);
  if (found == table.byInput.end()) return;
  // A break's signal still on its way finds no slot, or, once the number
  // serves another input, counts a break there that a lease taken again
  // tells from a writer.
  if (found->second.lease != nullptr) found->second.lease->fd = -1;
  if (found->second.inotify >= 0) sys::closeQuietly(found->second.inotify);
  table.byInput.erase(found);
}

}  // namespace input_watch
