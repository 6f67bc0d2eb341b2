# The test-only fault seam. Its decisions are portable; each platform's side
# makes its system calls ask the seam. With the option off the test hooks
# answer that nothing can be injected, and the tests that need it skip.
if(FILESPLIT_FAULT_INJECTION)
  set(FILESPLIT_FAULT_SOURCES platform/fault_injection.cpp)
  if(WIN32)
    list(APPEND FILESPLIT_FAULT_SOURCES platform/win/fault_seam.cpp)
  endif()
  set(FILESPLIT_FAULT_DEFINITIONS FILESPLIT_FAULT_INJECTION=1)
else()
  set(FILESPLIT_FAULT_SOURCES platform/no_fault_injection.cpp)
  set(FILESPLIT_FAULT_DEFINITIONS)
endif()
