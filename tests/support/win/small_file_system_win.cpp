#include <stdexcept>

#include "../small_file_system.h"

// Windows mounts no file system for a process of its own; the checks of the
// free space and the file-system type are tested through the fault seam there.
SmallFileSystem::SmallFileSystem(const std::wstring& folder, uint64_t)
    : folder_(folder), whyNot_("no small file system of a test's own on Windows") {}

SmallFileSystem::~SmallFileSystem() = default;

uint64_t SmallFileSystem::available() const { throw std::logic_error("not mounted"); }

// GetDiskFreeSpaceExW answers in bytes.
bool fakeBlockSize(unsigned long) { return false; }
