# How every Windows program of the project is linked with mingw-w64 (the
# shipped OrvaneSupport.exe, its helper and the test programs alike).
#
# 1. Only Known DLLs are imported at load time. Windows loads a Known DLL
#    from the system folder whatever lies beside the program; for every other
#    DLL it looks in the program's own folder first, and the customer starts
#    the program from Downloads, where a browser may have saved a
#    "version.dll" earlier. So the system DLLs that are not Known DLLs are
#    delay-loaded: their import libraries are replaced by delay-load import
#    libraries made here from the toolchain's own ones (same functions, same
#    names), placed in a folder that the linker searches before the
#    toolchain's. "-lversion" then means the delay-load library, for our code
#    and for the libraries wxWidgets and libcurl pull in alike. The first
#    call into such a DLL loads it through the hook in
#    src/system/DllSearch_win.cpp, from the system folder only.
#    scripts/windows-pe-check fails when any other DLL is imported at load
#    time; a DLL that starts being used then goes into the list below.
# 2. The image header: ASLR (with the relocations kept), DEP,
#    terminal-server aware (no per-user INI and registry redirection on a
#    terminal server), high-entropy ASLR for 64-bit programs, and Windows 7
#    (6.1) as the oldest system that may start the program. Control Flow
#    Guard needs compiler and linker support that GCC 12 and GNU ld 2.40 do
#    not have (no -mguard=cf, no --guard-cf).

# lib<name>.a of the toolchain and the name of the DLL it imports from.
set(orvane_delay_load_dlls
  bcrypt bcrypt.dll
  comctl32 COMCTL32.dll
  crypt32 CRYPT32.dll
  dwmapi dwmapi.dll
  iphlpapi IPHLPAPI.DLL
  netapi32 NETAPI32.dll
  oleacc OLEACC.dll
  secur32 Secur32.dll
  userenv USERENV.dll
  uxtheme UxTheme.dll
  version VERSION.dll
  winhttp WINHTTP.dll
  wininet WININET.dll
  winmm WINMM.dll
  winspool WINSPOOL.DRV
  wintrust WINTRUST.dll)

set(orvane_delay_load_dir ${PROJECT_BINARY_DIR}/delay-load)
file(MAKE_DIRECTORY ${orvane_delay_load_dir})
if(NOT CMAKE_DLLTOOL OR NOT CMAKE_NM)
  message(FATAL_ERROR "dlltool and nm of the mingw-w64 toolchain are needed for the delay-load libraries")
endif()
while(orvane_delay_load_dlls)
  list(POP_FRONT orvane_delay_load_dlls lib dll)
  execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=lib${lib}.a
    OUTPUT_VARIABLE import_lib OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(NOT IS_ABSOLUTE "${import_lib}")
    continue()  # the toolchain has no such library, so nothing can import it
  endif()
  # The functions of the import library are its defined code symbols (its
  # jump stubs); data exports cannot be delay-loaded and are left out, so a
  # use of one fails at link time. 32-bit names carry the leading underscore
  # and the stdcall "@n", which dlltool's --kill-at drops from the imported
  # name as the toolchain's own library does.
  execute_process(COMMAND ${CMAKE_NM} --defined-only ${import_lib}
    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[0-9a-f]+ T [^\n]+" functions "${symbols}")
  list(TRANSFORM functions REPLACE "^[0-9a-f]+ T " "")
  # Interface ids (IID_IAccessible of oleacc) are data, even where the
  # toolchain's library lists them with the functions: a stub in their place
  # would hand COM a jump instruction for a GUID. libuuid has them as data.
  list(FILTER functions EXCLUDE REGEX "^_?(IID|CLSID|LIBID)_")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(TRANSFORM functions REPLACE "^_" "")
  endif()
  list(REMOVE_DUPLICATES functions)
  list(SORT functions)
  list(JOIN functions "\n" exports)
  set(def ${orvane_delay_load_dir}/${lib}.def)
  set(delay_lib ${orvane_delay_load_dir}/lib${lib}.a)
  # Written (and the library rebuilt) only when the functions change, so a
  # new CMake run relinks nothing.
  file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY \"${dll}\"\nEXPORTS\n${exports}\n" @ONLY)
  if(NOT EXISTS ${delay_lib} OR ${def} IS_NEWER_THAN ${delay_lib})
    # Run in its folder with a name of its own: dlltool names the library's
    # members and symbols after the output path and the temporary prefix,
    # and the linker orders the import tables by them, so an absolute path
    # would make the program's bytes depend on the build folder.
    execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${lib}.def --dllname ${dll}
      --temp-prefix ${lib} --output-delaylib lib${lib}.a
      WORKING_DIRECTORY ${orvane_delay_load_dir} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endwhile()

# Named relative to the folder the linker runs in: GNU ld orders a PE's
# import tables by the full path of each import library, so an absolute path
# would put these before or after the toolchain's (/usr/...) depending on
# where the build folder is, and change the program's bytes.
if(CMAKE_GENERATOR MATCHES "Ninja")
  set(orvane_link_folder ${PROJECT_BINARY_DIR})
else()
  set(orvane_link_folder $<TARGET_PROPERTY:BINARY_DIR>)
endif()
add_link_options(-L$<PATH:RELATIVE_PATH,${orvane_delay_load_dir},${orvane_link_folder}>
  -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware
  -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1
  -Wl,--major-os-version,6 -Wl,--minor-os-version,1)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_link_options(-Wl,--high-entropy-va)
endif()
