// Switches for tests only; a normal run never turns them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/platform.h"

namespace platform_test_hooks {

/// Makes the MD5 provider report `length` as its digest length (0: its true
/// one). False where the platform's provider cannot be faked.
bool fakeDigestLength(uint32_t length);

using platform::FaultPoint;

/// One planned fault: what the `call`-th call at `point` since the last
/// resetFaults does (0: every call there).
struct Fault {
  FaultPoint point = FaultPoint::open;
  unsigned call = 1;
  /// The errno value the call fails with (for textConversion the platform's
  /// own code; for the provider's calls an NTSTATUS, where a value that is no
  /// failure status fails with STATUS_UNSUCCESSFUL); 0: it does not fail.
  int error = 0;
  /// For read and write: the call moves at most this many bytes.
  size_t byteLimit = SIZE_MAX;
  /// Runs just before the call, for a change made by "someone else" (a file
  /// created, removed, grown); may be empty. What it throws leaves the call.
  std::function<void()> before;
};

/// Plans `fault` in addition to those planned already. False where this
/// build or platform cannot inject at that point; the test should skip then.
bool injectFault(const Fault& fault);

/// Forgets every planned fault, sets every call count to 0 and lifts the
/// call budget.
void resetFaults();

/// The calls seen at `point` since the last reset.
unsigned faultCalls(FaultPoint point);

/// Lets at most `calls` calls (all points together) through from now on;
/// every later call fails with EIO, and callBudgetExceeded tells it. Stops a
/// loop that would otherwise never end.
void setCallBudget(unsigned calls);

/// Whether a call was refused because the budget was spent.
bool callBudgetExceeded();

}  // namespace platform_test_hooks
