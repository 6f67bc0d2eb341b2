// The facts of the console and the session on Windows, for the wait for a
// key and for the control routine.
#pragma once

#include "platform/console_window.h"

namespace console_window_facts {

/// The facts as the system tells them, or as a test faked them.
console_window::Facts gather();

/// Whether the process runs in session 0 (ProcessIdToSessionId), or a
/// test faked so.
bool inServicesSession();

}  // namespace console_window_facts
