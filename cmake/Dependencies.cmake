# Every dependency is a Debian package installed by scripts/setup-deps.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(OpenSSL 3 REQUIRED)
find_package(CURL REQUIRED)
find_package(nlohmann_json 3.11 REQUIRED)
find_package(fmt REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)

pkg_check_modules(CMARK_GFM REQUIRED IMPORTED_TARGET libcmark-gfm)
find_library(CMARK_GFM_EXTENSIONS_LIB cmark-gfm-extensions REQUIRED)
add_library(orvane_cmark INTERFACE)
target_link_libraries(orvane_cmark INTERFACE ${CMARK_GFM_EXTENSIONS_LIB} PkgConfig::CMARK_GFM)

pkg_check_modules(DUKTAPE REQUIRED IMPORTED_TARGET duktape)
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
pkg_check_modules(LIBPSL REQUIRED IMPORTED_TARGET libpsl)

# wxWidgets as one interface target with its headers marked SYSTEM, so that
# warnings-as-errors applies to our code only.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS html core base)
add_library(orvane_wx INTERFACE)
target_include_directories(orvane_wx SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(orvane_wx INTERFACE ${wxWidgets_DEFINITIONS})
target_compile_options(orvane_wx INTERFACE ${wxWidgets_CXX_FLAGS})
target_link_libraries(orvane_wx INTERFACE ${wxWidgets_LIBRARIES})

if(ORVANE_TESTS)
  find_package(GTest REQUIRED)
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
endif()
