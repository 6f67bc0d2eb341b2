# Cross-compiles the Windows build with Debian's mingw-w64 (the POSIX thread
# model, for std::thread and friends) and runs its tests under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FILESPLIT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FILESPLIT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FILESPLIT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FILESPLIT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FILESPLIT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: a dynamically linked C++, GCC or thread runtime is
# not beside it on a user's machine (and under Wine the process fails to
# start with c0000135). -municode, for the tool's wmain, is the tool's own
# link option (cmake/platform_sources.cmake): the test programs and CMake's
# own checks have a plain main.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

find_program(FILESPLIT_WINE wine)
if(FILESPLIT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FILESPLIT_WINE})
endif()
