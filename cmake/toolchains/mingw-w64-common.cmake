# Shared part of the mingw-w64 toolchain files: Debian's cross compilers of
# the POSIX thread model (so that std::thread and std::mutex work), chosen by
# ORVANE_MINGW_TRIPLE, which the including file sets.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ORVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANE_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw sysroot and from the prefix the
# Windows dependencies were built into (CMAKE_PREFIX_PATH); programs from the
# build machine.
# The prefix is ORVANE_WINDOWS_DEPS (cache or environment variable), as
# printed by scripts/setup-windows-deps for the same architecture.
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
