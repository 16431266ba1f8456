# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix: the POSIX thread
# model, which std::thread needs). scripts/test-windows.sh configures with this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TUNELORE_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TUNELORE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TUNELORE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TUNELORE_MINGW}-windres)

# Headers, libraries and packages come from the MinGW tree only, never from the host's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${TUNELORE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthreads linked in, so a program runs without MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# The programs run under wine on this machine: CTest starts each test (and GoogleTest's listing of the tests)
# through it. Debian's wine64 package keeps the program out of PATH.
find_program(TUNELORE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TUNELORE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TUNELORE_WINE})
endif()
