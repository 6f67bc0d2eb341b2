# The test-only fault seam. Its decisions are portable; each platform's side
# makes its system calls ask the seam. With the option on, the seam and the
# test hooks are part of the core, so that the tools the tests run can be
# faulted too. With it off (every build a user gets) the core holds none of
# them, and the tests, if built, link hooks that answer that nothing can be
# injected, so that the tests that need it skip.
if(FILESPLIT_FAULT_INJECTION)
  set(FILESPLIT_FAULT_SOURCES platform/fault_injection.cpp ${FILESPLIT_PLATFORM_TEST_HOOKS})
  if(WIN32)
    list(APPEND FILESPLIT_FAULT_SOURCES platform/win/fault_seam.cpp)
  endif()
  set(FILESPLIT_TEST_HOOK_SOURCES)
  set(FILESPLIT_FAULT_DEFINITIONS FILESPLIT_FAULT_INJECTION=1)
else()
  set(FILESPLIT_FAULT_SOURCES)
  set(FILESPLIT_TEST_HOOK_SOURCES platform/no_fault_injection.cpp ${FILESPLIT_PLATFORM_TEST_HOOKS})
  set(FILESPLIT_FAULT_DEFINITIONS)
endif()
