#pragma once

#include <string>

/// The line a job's last-resort handler prints for the exception it is
/// handling: "Cannot start a thread: REASON" for a thread the system would
/// not start, "Out of memory." for an allocation refused, what any other
/// standard exception says (as printableText shows it), else a fixed
/// English line. Call only inside a catch block. Throws std::bad_alloc
/// only where memory for the line itself is short.
std::wstring unexpectedFailureLine();
