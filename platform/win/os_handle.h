// The Win32 handle behind one of the C runtime's descriptors.
#pragma once

#include "platform/platform.h"

namespace os_handle {

/// The handle of the runtime's descriptor `fd`; INVALID_HANDLE_VALUE for a
/// descriptor that is not open.
inline HANDLE of(int fd) {
  // The runtime hands the handle over as an integer; this is the one place
  // that turns it back.
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace os_handle
