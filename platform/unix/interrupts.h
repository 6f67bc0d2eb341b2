// What the user's interrupt does on POSIX systems, for the watcher thread
// and for tests.
#pragma once

namespace posix_interrupts {

/// Runs the handler set with platform::onInterrupt and ends the process
/// with its code, or returns where it says the interrupt comes too late;
/// without one, ends the process by `signal`'s default.
void endWith(int signal);

/// Runs the handler set with platform::onInterrupt and returns its code;
/// platform::kInterruptTooLate without one.
int handlerCode();

}  // namespace posix_interrupts
