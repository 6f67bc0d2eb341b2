# The platform layer's sources and libraries: one folder per platform.
if(WIN32)
  set(FILESPLIT_PLATFORM_SOURCES)
  set(FILESPLIT_PLATFORM_LIBS bcrypt)
else()
  find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
  set(FILESPLIT_PLATFORM_SOURCES
    platform/posix/bcrypt_md5.cpp
    platform/posix/code_pages.cpp
    platform/posix/console.cpp
    platform/posix/crt_files.cpp
    platform/posix/native_text.cpp
    platform/posix/services.cpp
    platform/posix/sys_calls.cpp
    platform/posix/test_hooks.cpp)
  set(FILESPLIT_PLATFORM_LIBS OpenSSL::Crypto)
endif()
