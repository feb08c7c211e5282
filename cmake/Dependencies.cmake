# Every dependency is a Debian package installed by scripts/setup-deps; the
# Windows program's are built from Debian's source packages into a prefix by
# scripts/setup-windows-deps (a vcpkg manifest serves a native MSVC build).
#
# The folders link these project targets, so that they read the same on
# every platform:
#   orvane_zip, orvane_cmark       libzip and cmark-gfm with its extensions
#   orvane_crypto                  SHA-256: OpenSSL's libcrypto / CNG (bcrypt)
#   orvane_tls                     TLS for libcurl: OpenSSL / Schannel
#   orvane_proxy_discovery         GIO and libpsl / WinHTTP (duktape: only the
#                                  PAC evaluator program, src/net/CMakeLists.txt)
#   orvane_wx                      wxWidgets html, core, base
find_package(Threads REQUIRED)
# On Linux the programs link the static libcurl that scripts/setup-linux-curl
# builds (HTTP and HTTPS only, none of the libraries Debian's libcurl loads);
# scripts/test, bench and demo hand its prefix over as CURL_ROOT.
find_package(CURL)
if(NOT CURL_FOUND)
  message(FATAL_ERROR "libcurl not found: on Linux run scripts/setup-linux-curl and configure with "
                      "-DCURL_ROOT=<the prefix it prints>")
endif()
find_package(nlohmann_json 3.11 REQUIRED)
find_package(fmt REQUIRED)

add_library(orvane_zip INTERFACE)
add_library(orvane_cmark INTERFACE)
add_library(orvane_crypto INTERFACE)
add_library(orvane_tls INTERFACE)
add_library(orvane_proxy_discovery INTERFACE)

if(WIN32)
  # Windows 7 SP1 is the oldest supported system (docs/windows.md).
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE NOMINMAX)
  find_package(libzip CONFIG REQUIRED)
  target_link_libraries(orvane_zip INTERFACE libzip::zip)
  find_package(cmark-gfm CONFIG QUIET)
  if(TARGET cmark-gfm::cmark-gfm_static)
    target_link_libraries(orvane_cmark INTERFACE cmark-gfm::cmark-gfm-extensions_static cmark-gfm::cmark-gfm_static)
  else()
    find_path(CMARK_GFM_INCLUDE_DIR cmark-gfm.h REQUIRED)
    find_library(CMARK_GFM_LIB NAMES cmark-gfm_static cmark-gfm REQUIRED)
    find_library(CMARK_GFM_EXTENSIONS_LIB NAMES cmark-gfm-extensions_static cmark-gfm-extensions REQUIRED)
    target_include_directories(orvane_cmark SYSTEM INTERFACE ${CMARK_GFM_INCLUDE_DIR})
    target_link_libraries(orvane_cmark INTERFACE ${CMARK_GFM_EXTENSIONS_LIB} ${CMARK_GFM_LIB})
  endif()
  target_compile_definitions(orvane_cmark INTERFACE CMARK_GFM_STATIC_DEFINE CMARK_GFM_EXTENSIONS_STATIC_DEFINE)
  target_link_libraries(orvane_crypto INTERFACE bcrypt)
  target_link_libraries(orvane_proxy_discovery INTERFACE winhttp)
else()
  find_package(PkgConfig REQUIRED)
  find_package(OpenSSL 3 REQUIRED)
  pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
  target_link_libraries(orvane_zip INTERFACE PkgConfig::LIBZIP)
  pkg_check_modules(CMARK_GFM REQUIRED IMPORTED_TARGET libcmark-gfm)
  find_library(CMARK_GFM_EXTENSIONS_LIB cmark-gfm-extensions REQUIRED)
  target_link_libraries(orvane_cmark INTERFACE ${CMARK_GFM_EXTENSIONS_LIB} PkgConfig::CMARK_GFM)
  target_link_libraries(orvane_crypto INTERFACE OpenSSL::Crypto)
  target_link_libraries(orvane_tls INTERFACE OpenSSL::SSL OpenSSL::Crypto)
  pkg_check_modules(DUKTAPE REQUIRED IMPORTED_TARGET duktape)
  pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
  pkg_check_modules(LIBPSL REQUIRED IMPORTED_TARGET libpsl)
  target_link_libraries(orvane_proxy_discovery INTERFACE PkgConfig::GIO PkgConfig::LIBPSL)
  # The PAC evaluator's sandbox (src/net/paceval), not the program's.
  pkg_check_modules(LIBSECCOMP REQUIRED IMPORTED_TARGET libseccomp)
endif()

# wxWidgets as one interface target with its headers marked SYSTEM, so that
# warnings-as-errors applies to our code only. A cross build finds it through
# the prefix's wx-config, as a static library.
if(CMAKE_CROSSCOMPILING AND ORVANE_WINDOWS_DEPS)
  set(wxWidgets_CONFIG_EXECUTABLE ${ORVANE_WINDOWS_DEPS}/bin/wx-config)
  set(wxWidgets_CONFIG_OPTIONS --static=yes)
endif()
find_package(wxWidgets 3.2 REQUIRED COMPONENTS html core base)
add_library(orvane_wx INTERFACE)
target_include_directories(orvane_wx SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(orvane_wx INTERFACE ${wxWidgets_DEFINITIONS})
target_compile_options(orvane_wx INTERFACE ${wxWidgets_CXX_FLAGS})
target_link_libraries(orvane_wx INTERFACE ${wxWidgets_LIBRARIES})
if(MINGW)
  # The Windows toolkit is built without sockets, so its headers no longer
  # include <winsock2.h> ahead of <windows.h>; code that uses both (Winsock,
  # the tests' loopback servers) needs it first, as the toolkit did before.
  target_compile_options(orvane_wx INTERFACE "SHELL:-include winsock2.h")
endif()
if(NOT WIN32)
  # GTK itself, which wxGTK is built on, for what wx does not reach (the
  # names screen readers read through ATK).
  pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
  target_link_libraries(orvane_wx INTERFACE PkgConfig::GTK3)
endif()

if(ORVANE_TESTS)
  find_package(GTest REQUIRED)
  if(WIN32)
    find_path(HTTPLIB_INCLUDE_DIR httplib.h REQUIRED)
    add_library(orvane_httplib INTERFACE)
    target_include_directories(orvane_httplib SYSTEM INTERFACE ${HTTPLIB_INCLUDE_DIR})
    target_link_libraries(orvane_httplib INTERFACE ws2_32)
  else()
    pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
    add_library(orvane_httplib INTERFACE)
    target_link_libraries(orvane_httplib INTERFACE PkgConfig::HTTPLIB)
  endif()
endif()
