// The fault seam of test builds: counts every call at each fault point and
// answers it with what a test planned. Built only with fault injection on;
// a release build has no trace of it.
//
// The block loop calls it from three threads: one lock orders the calls,
// and since each point is called from one thread only (reads from the
// reader, hashing from the hasher, a transfer's writes from the writer), its
// call numbers stay those of one thread. The lock is held while a planned
// callback runs, so that the other threads' calls neither count as the
// callback's nor pass it.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace {

constexpr size_t kPointCount = static_cast<size_t>(platform::FaultPoint::count);

struct SeamState {
  std::vector<platform_test_hooks::Fault> planned;
  unsigned calls[kPointCount] = {};
  unsigned totalCalls = 0;
  unsigned budget = 0;  // 0: none
  bool budgetExceeded = false;
  bool inCallback = false;  // a planned callback's own calls are not counted
};

SeamState& seam() {
  static SeamState state;
  return state;
}

// Recursive: a planned callback's own calls ask the seam again.
std::unique_lock<std::recursive_mutex> seamLock() {
  static std::recursive_mutex lock;
  return std::unique_lock<std::recursive_mutex>(lock);
}

// What a test asked of one call: fail with `error` (0: do not fail), or move
// at most `byteLimit` bytes.
struct InjectedFault {
  int error = 0;
  size_t byteLimit = SIZE_MAX;
};

// The planned fault for the `call`-th call at `point`, merged: the first
// error wins, the smallest byte limit wins; callbacks run in plan order.
InjectedFault answer(platform::FaultPoint point, unsigned call) {
  SeamState& state = seam();
  InjectedFault result;
  for (const auto& fault : state.planned) {
    if (fault.point != point || (fault.call != 0 && fault.call != call)) continue;
    if (fault.before) {
      // Cleared however the callback ends: one may throw, as "something the
      // job did not foresee" does.
      struct InCallback {
        bool& flag;
        explicit InCallback(bool& f) : flag(f) { flag = true; }
        ~InCallback() { flag = false; }
      } inCallback(state.inCallback);
      fault.before();
    }
    if (result.error == 0) result.error = fault.error;
    if (fault.byteLimit < result.byteLimit) result.byteLimit = fault.byteLimit;
  }
  return result;
}

// Counts one call at `point` and returns what a test planned for it.
InjectedFault injectedFault(platform::FaultPoint point) {
  const auto locked = seamLock();
  SeamState& state = seam();
  if (state.inCallback) return {};
  const unsigned call = ++state.calls[static_cast<size_t>(point)];
  if (state.budget != 0 && ++state.totalCalls > state.budget) {
    state.budgetExceeded = true;
    return InjectedFault{EIO, SIZE_MAX};
  }
  return answer(point, call);
}

// Kept apart from the planned faults: resetFaults leaves the console as a
// test made it.
struct FakedConsole {
  std::optional<console_window::Facts> facts;
  unsigned keysTaken = 0;
};

FakedConsole& fakedConsole() {
  static FakedConsole console;
  return console;
}

// Where a test has the write-backs recorded; the writer thread adds to it.
platform_test_hooks::MediumCalls* writeBackRecording = nullptr;

}  // namespace

namespace platform {

bool goAhead(FaultPoint point, size_t& count) {
  const InjectedFault fault = injectedFault(point);
  if (fault.error != 0) {
    errno = fault.error;
    return false;
  }
  count = std::min(count, fault.byteLimit);
  return true;
}

bool goAhead(FaultPoint point) {
  size_t unused = 0;
  return goAhead(point, unused);
}

void recordWriteBack(uint64_t offset, uint64_t length) {
  const auto locked = seamLock();
  if (writeBackRecording != nullptr) writeBackRecording->called(nullptr, length, offset);
}

std::optional<console_window::Facts> fakedConsoleWindow() { return fakedConsole().facts; }

bool takeFakedKey() {
  FakedConsole& console = fakedConsole();
  if (!console.facts) return false;
  ++console.keysTaken;
  return true;
}

}  // namespace platform

namespace platform_test_hooks {

bool injectFault(const Fault& fault) {
  const auto locked = seamLock();
  seam().planned.push_back(fault);
  return true;
}

void resetFaults() {
  const auto locked = seamLock();
  seam() = SeamState{};
}

unsigned faultCalls(FaultPoint point) {
  const auto locked = seamLock();
  return seam().calls[static_cast<size_t>(point)];
}

void setCallBudget(unsigned calls) {
  const auto locked = seamLock();
  seam().budget = calls;
  seam().totalCalls = 0;
}

bool callBudgetExceeded() {
  const auto locked = seamLock();
  return seam().budgetExceeded;
}

bool fakeConsole(std::optional<unsigned> processes, bool shown, bool servicesSession) {
  std::optional<console_window::Facts> facts;
  if (processes) facts = console_window::Facts{*processes > 0, *processes, shown, servicesSession};
  fakedConsole() = FakedConsole{facts, 0};
  return true;
}

unsigned consoleKeysTaken() { return fakedConsole().keysTaken; }

bool recordWriteBack(MediumCalls* record) {
  const auto locked = seamLock();
  writeBackRecording = record;
  return true;
}

}  // namespace platform_test_hooks
