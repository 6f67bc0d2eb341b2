// The test hooks of a build without fault injection (a release build, or a
// platform whose system calls are not routed through the seam): nothing can
// be planned, and tests that need it skip themselves.
#include "platform/test_hooks.h"

namespace platform_test_hooks {

bool injectFault(const Fault&) { return false; }
void resetFaults() {}
unsigned faultCalls(FaultPoint) { return 0; }
void setCallBudget(unsigned) {}
bool callBudgetExceeded() { return false; }
bool fakeConsole(std::optional<unsigned> processes, bool, bool) { return !processes; }
unsigned consoleKeysTaken() { return 0; }
bool recordWriteBack(MediumCalls* record) { return record == nullptr; }

}  // namespace platform_test_hooks
