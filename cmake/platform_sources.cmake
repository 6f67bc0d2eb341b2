# The platform layer's sources and libraries: one folder per platform.
if(WIN32)
  set(FILESPLIT_PLATFORM_NAME win)
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
else()
  set(FILESPLIT_PLATFORM_NAME posix)
  find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
  set(FILESPLIT_PLATFORM_SOURCES
    platform/posix/bcrypt_md5.cpp
    platform/posix/cache_calls.cpp
    platform/posix/code_pages.cpp
    platform/posix/console.cpp
    platform/posix/console_window.cpp
    platform/posix/crt_files.cpp
    platform/posix/input_watch.cpp
    platform/posix/direct_writes.cpp
    platform/posix/file_queries.cpp
    platform/posix/interrupts.cpp
    platform/posix/medium.cpp
    platform/posix/native_text.cpp
    platform/posix/output_file.cpp
    platform/posix/output_folder.cpp
    platform/posix/services.cpp
    platform/posix/sys_calls.cpp
    platform/posix/volume_queries.cpp
    platform/posix/wide_main.cpp)
  set(FILESPLIT_PLATFORM_LIBS OpenSSL::Crypto)
  set(FILESPLIT_ENTRY_LINK_OPTIONS)
endif()
