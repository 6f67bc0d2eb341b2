// The errno value for a Win32 error, so that a failure reads the same as
// the C runtime and the standard library tell it.
#pragma once

#include "platform/platform.h"

namespace win32_errno {

/// The errno value for the Win32 error `code`, as the C runtime gives it,
/// but for the device's own failures (EIO, where the runtime says EACCES)
/// and write protection (EROFS); `unknown` for a code with none (the
/// runtime's own is EINVAL).
int errnoOf(DWORD code, int unknown);

}  // namespace win32_errno
