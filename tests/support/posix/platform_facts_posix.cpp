#include <unistd.h>

#include "../platform_facts.h"

bool windowsPlatform() { return false; }

bool outputsPastTheCache() { return true; }

bool runsAsSuperuser() { return geteuid() == 0; }

std::wstring invalidFileName() { return L"bad\xD800"; }

// runFilesplit starts the child in the C.UTF-8 locale, which groups nothing.
std::wstring childNumber(uint64_t value) { return std::to_wstring(value); }

std::wstring shownAsJoined(const std::wstring& path) { return path; }
