// The C runtime's reading of Win32 errors, shared by the Windows layer.
#pragma once

#include "platform/platform.h"

namespace win_errors {

/// The C runtime's errno value for the Win32 error `code`.
int errnoOf(DWORD code);

}  // namespace win_errors
