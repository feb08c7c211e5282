# Cross-compiling for 32-bit Windows (the shipped program) with Debian's
# mingw-w64 from Linux.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVANE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
