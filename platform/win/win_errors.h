// Win32 error codes as the C runtime's errno values.
#pragma once

#include "platform_impl.h"

namespace win_errors {

/// The C runtime's errno value for the Win32 error `code`; EINVAL for a code
/// it has no value for.
int errnoOf(DWORD code);

}  // namespace win_errors
