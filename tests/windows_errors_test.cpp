// Win32 errors as the tools tell them: a failing device is an input/output
// error, write protection a read-only file system, another program's hold on
// the file a matter of rights. Skipped where the system's errors are errno
// values already.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/test_hooks.h"

namespace {

struct Win32Error {
  const char* name;
  unsigned long code;
  int errnum;
};

void PrintTo(const Win32Error& row, std::ostream* out) { *out << row.name; }

class WindowsErrorsTest : public ::testing::TestWithParam<Win32Error> {};

TEST_P(WindowsErrorsTest, ToldAsItsErrno) {
  int errnum = 0;
  if (!platform_test_hooks::errnoOfSystemError(GetParam().code, -1, errnum))
    GTEST_SKIP() << "the system's errors are errno values here";
  EXPECT_EQ(errnum, GetParam().errnum);
}

// The codes as numbers: the names are Windows' own headers'.
INSTANTIATE_TEST_SUITE_P(
    Codes, WindowsErrorsTest,
    ::testing::Values(Win32Error{"FileNotFound", 2, ENOENT}, Win32Error{"AccessDenied", 5, EACCES},
                      Win32Error{"WriteProtect", 19, EROFS}, Win32Error{"NotReady", 21, EIO},
                      Win32Error{"Crc", 23, EIO}, Win32Error{"SectorNotFound", 27, EIO},
                      Win32Error{"WriteFault", 29, EIO}, Win32Error{"ReadFault", 30, EIO},
                      Win32Error{"GenFailure", 31, EIO}, Win32Error{"SharingViolation", 32, EACCES},
                      Win32Error{"LockViolation", 33, EACCES}, Win32Error{"DiskFull", 112, ENOSPC},
                      Win32Error{"InvalidParameter", 87, EINVAL},
                      Win32Error{"HandleDiskFull", 39, ENOSPC}, Win32Error{"IoDevice", 1117, EIO},
                      Win32Error{"DeviceNotConnected", 1167, EIO},
                      Win32Error{"Unknown", 0x20000001, -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
