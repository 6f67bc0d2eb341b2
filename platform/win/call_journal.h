// The calls of the Windows layer that a test cannot watch from outside (the
// order of the naming's calls, a file's disposition, the path a long name
// reaches the system by, how the interrupt ends the process), told to a
// test that records them (platform_test_hooks::recordCalls).
#pragma once

#include <string>
#include <vector>

namespace call_journal {

#if FILESPLIT_FAULT_INJECTION
/// Adds `entry` to the test's record, if a test keeps one.
void note(const std::wstring& entry);
/// Whether a test keeps a record: then the interrupt's end of the process
/// is recorded instead of made.
bool recording();
/// Keeps the record in `journal` from now on (null: keeps none).
void recordInto(std::vector<std::wstring>* journal);
#else
inline void note(const std::wstring&) {}
inline bool recording() { return false; }
#endif

}  // namespace call_journal
