// What the user's interrupt does on Windows, for the system and for tests.
#pragma once

#include "platform/platform.h"

namespace win_interrupts {

/// The console's control routine: for Ctrl+C, Ctrl+Break, a closed window,
/// a logoff or a shutdown, runs the handler set with platform::onInterrupt
/// and ends the process with its code, or lets the run go on (TRUE) where
/// the handler says the interrupt comes too late; FALSE (the system's own
/// handling) for any other event or without a handler.
BOOL WINAPI onControl(DWORD event);

/// Runs the handler set with platform::onInterrupt and returns its code;
/// platform::kInterruptTooLate without one.
int handlerCode();

}  // namespace win_interrupts
