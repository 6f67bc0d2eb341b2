// What the user's interrupt does on POSIX systems, for the watcher thread
// and for tests.
#pragma once

namespace posix_interrupts {

/// Runs the handler set with platform::onInterrupt and ends the process
/// with its code; without one, ends it by `signal`'s default.
[[noreturn]] void endWith(int signal);

}  // namespace posix_interrupts
