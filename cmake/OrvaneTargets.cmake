# Shared compile settings and the helper that turns a source folder into its
# libraries. Each folder yields:
#   orvane_<name>     every *.cpp except the toolkit (*_wx.cpp) and the other
#                     platform's files (*_win.cpp on POSIX, *_posix.cpp on Windows)
#   orvane_<name>_wx  the *_wx.cpp files, when there are any, and this
#                     platform's *_wx_posix.cpp or *_wx_win.cpp
# main.cpp is left to the folder's own CMakeLists.

add_library(orvane_settings INTERFACE)
target_include_directories(orvane_settings INTERFACE
  ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
if(MSVC)
  # Sources are UTF-8; conformance mode as GCC's.
  target_compile_options(orvane_settings INTERFACE /W4 /permissive- /utf-8 /Zc:__cplusplus)
  if(ORVANE_WERROR)
    target_compile_options(orvane_settings INTERFACE /WX)
  endif()
else()
  target_compile_options(orvane_settings INTERFACE -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual -Wformat=2)
  if(ORVANE_WERROR)
    target_compile_options(orvane_settings INTERFACE -Werror)
  endif()
endif()
if(ORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MINGW)
  # One self-contained program: the C and C++ runtimes, winpthreads and every
  # library linked in, nothing to ship beside the .exe.
  # Release programs go out without symbols.
  add_link_options(-static $<$<CONFIG:Release>:-s>)
  # Each function and object in a section of its own, and the linker drops
  # those nothing refers to: the program keeps only what it calls.
  add_compile_options(-ffunction-sections -fdata-sections)
  add_link_options(-Wl,--gc-sections)
  # Release code is built for size (after the build type's -O3, so it wins):
  # the program spends its time waiting for the network and the user.
  add_compile_options($<$<CONFIG:Release>:-Os>)
  # Reproducible: the same commit built in any folder at any time gives the
  # same bytes. No link time in the image header (the checksum over it then
  # follows), and no build folder in the code (paths in assertion texts).
  # ar writes no times (Debian's binutils default, "D"); dlltool's members
  # are named after their library only (WindowsHardening.cmake).
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
  # Load-time imports of Known DLLs only, and the image header's hardening.
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsHardening.cmake)
endif()

if(WIN32)
  set(ORVANE_OTHER_PLATFORM_SUFFIX "_posix")
else()
  set(ORVANE_OTHER_PLATFORM_SUFFIX "_win")
endif()

function(orvane_folder_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;WX_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "${ORVANE_OTHER_PLATFORM_SUFFIX}\\.cpp$")
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  set(wx_sources ${sources})
  list(FILTER sources EXCLUDE REGEX "_wx(_posix|_win)?\\.cpp$")
  list(FILTER wx_sources INCLUDE REGEX "_wx(_posix|_win)?\\.cpp$")

  if(sources)
    add_library(orvane_${name} STATIC ${sources})
    target_link_libraries(orvane_${name} PUBLIC orvane_settings ${ARG_DEPS})
  else()
    add_library(orvane_${name} INTERFACE)
    target_link_libraries(orvane_${name} INTERFACE orvane_settings ${ARG_DEPS})
  endif()
  if(wx_sources)
    add_library(orvane_${name}_wx STATIC ${wx_sources})
    target_link_libraries(orvane_${name}_wx PUBLIC orvane_${name} orvane_wx)
    foreach(dep ${ARG_WX_DEPS})
      if(TARGET ${dep})
        target_link_libraries(orvane_${name}_wx PUBLIC ${dep})
      endif()
    endforeach()
  endif()
endfunction()
