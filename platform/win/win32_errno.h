// The errno value for a Win32 error, so that a failure reads the same as
// the C runtime and the standard library tell it.
#pragma once

#include "platform/platform.h"

namespace win32_errno {

/// The errno value the C runtime gives for the Win32 error `code`, or
/// `unknown` for a code it has none for (the runtime's own is EINVAL).
int errnoOf(DWORD code, int unknown);

}  // namespace win32_errno
