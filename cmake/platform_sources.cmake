# The platform layer's sources and libraries, picked by the operating system
# the build is for; FILESPLIT_PLATFORM_DIR holds its platform_impl.h, and
# FILESPLIT_ENTRY_DIR the tools' entry points (main or wmain).
if(WIN32)
  set(FILESPLIT_PLATFORM_DIR ${CMAKE_SOURCE_DIR}/platform/win)
  set(FILESPLIT_ENTRY_DIR ${CMAKE_SOURCE_DIR}/app/win)
  set(FILESPLIT_PLATFORM_TEST_HOOKS platform/win/test_hooks.cpp)
  set(FILESPLIT_PLATFORM_SOURCES
    platform/win/code_page_text.cpp
    platform/win/console.cpp
    platform/win/console_window.cpp
    platform/win/crt_calls.cpp
    platform/win/file_names.cpp
    platform/win/file_queries.cpp
    platform/win/interrupts.cpp
    platform/win/long_paths.cpp
    platform/win/medium.cpp
    platform/win/output_file.cpp
    platform/win/output_folder.cpp
    platform/win/path_calls.cpp
    platform/win/path_levels.cpp
    platform/win/services.cpp
    platform/win/medium_sectors.cpp
    platform/win/unbuffered_reads.cpp
    platform/win/unbuffered_writes.cpp
    platform/win/volume_queries.cpp
    platform/win/win32_errno.cpp)
  set(FILESPLIT_PLATFORM_LIBS bcrypt)
  # The tool's entry is wmain, which receives the command line as typed.
  set(FILESPLIT_ENTRY_LINK_OPTIONS -municode)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # What any UNIX system offers (unix/), and what only Linux does (linux/).
  set(FILESPLIT_PLATFORM_DIR ${CMAKE_SOURCE_DIR}/platform/unix)
  set(FILESPLIT_ENTRY_DIR ${CMAKE_SOURCE_DIR}/app/unix)
  set(FILESPLIT_PLATFORM_TEST_HOOKS platform/unix/test_hooks.cpp platform/linux/test_hooks_linux.cpp)
  find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
  set(FILESPLIT_PLATFORM_SOURCES
    platform/unix/bcrypt_md5.cpp
    platform/unix/code_pages.cpp
    platform/unix/console.cpp
    platform/unix/console_window.cpp
    platform/unix/crt_files.cpp
    platform/unix/file_queries.cpp
    platform/unix/interrupts.cpp
    platform/unix/native_text.cpp
    platform/unix/output_file.cpp
    platform/unix/output_folder.cpp
    platform/unix/services.cpp
    platform/unix/sys_calls.cpp
    platform/unix/volume_queries.cpp
    platform/unix/wide_main.cpp
    platform/linux/cache_calls.cpp
    platform/linux/direct_writes.cpp
    platform/linux/error_text.cpp
    platform/linux/file_system_type.cpp
    platform/linux/input_watch.cpp
    platform/linux/linux_calls.cpp
    platform/linux/medium.cpp)
  set(FILESPLIT_PLATFORM_LIBS OpenSSL::Crypto)
  set(FILESPLIT_ENTRY_LINK_OPTIONS)
else()
  message(FATAL_ERROR
    "No platform layer for ${CMAKE_SYSTEM_NAME}: the build knows Linux (platform/unix/ and "
    "platform/linux/) and Windows (platform/win/). A port provides every function of "
    "platform/platform.h and platform/output_file.h and the runtime stand-ins of "
    "platform_impl.h, as platform/README.md lists them, and names its sources here.")
endif()
