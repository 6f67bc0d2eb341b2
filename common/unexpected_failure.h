#pragma once

#include <string>

/// The line a job's last-resort handler prints for the exception it is
/// handling: what a standard exception says (as printableText shows it),
/// else a fixed English line. Call only inside a catch block. Never throws.
std::wstring unexpectedFailureLine();
