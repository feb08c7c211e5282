# Cross-compiling for 64-bit Windows with Debian's mingw-w64 from Linux: the
# build whose tests run under 64-bit Wine where this machine cannot execute
# 32-bit programs, and a 64-bit program of its own.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVANE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
