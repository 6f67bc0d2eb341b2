# The test-only fault seam. Its decisions are portable; what a platform
# needs is that its system calls ask the seam, which only the POSIX layer
# does so far. Elsewhere, and whenever the option is off, the test hooks
# answer that nothing can be injected and the tests that need it skip.
if(FILESPLIT_FAULT_INJECTION AND NOT WIN32)
  set(FILESPLIT_FAULT_SOURCES platform/fault_injection.cpp)
  set(FILESPLIT_FAULT_DEFINITIONS FILESPLIT_FAULT_INJECTION=1)
else()
  set(FILESPLIT_FAULT_SOURCES platform/no_fault_injection.cpp)
  set(FILESPLIT_FAULT_DEFINITIONS)
endif()
