# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (the POSIX
# thread model, so that std::thread and std::mutex work) from Linux.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ORVANE_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANE_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw sysroot and from the prefix the
# Windows dependencies were built into (CMAKE_PREFIX_PATH); programs from the
# build machine.
# The prefix is ORVANE_WINDOWS_DEPS (cache or environment variable), as
# printed by scripts/setup-windows-deps.
if(NOT ORVANE_WINDOWS_DEPS AND DEFINED ENV{ORVANE_WINDOWS_DEPS})
  set(ORVANE_WINDOWS_DEPS $ENV{ORVANE_WINDOWS_DEPS})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORVANE_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_MINGW_TRIPLE} ${ORVANE_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and helper programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
