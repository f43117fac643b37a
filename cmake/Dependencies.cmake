# Every third-party library comes from a Debian package (scripts/install-deps).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(fmt REQUIRED)
# fmt's headers without its shared library, which would bring libstdc++'s shared library
# into every start (the program links libstdc++ in: src/main). Its compiled half is built
# once, in src/core/FmtCompiled.cpp; header-only would copy it into every source file.
add_library(vq_fmt INTERFACE)
target_include_directories(vq_fmt SYSTEM INTERFACE $<TARGET_PROPERTY:fmt::fmt-header-only,INTERFACE_INCLUDE_DIRECTORIES>)
find_package(nlohmann_json 3.11 REQUIRED)
find_package(CURL REQUIRED)
find_package(ZLIB REQUIRED)
find_package(SDL2 REQUIRED)
find_package(CLI11 CONFIG QUIET)
# Property-list dictionaries are Boost's flat_map (header-only).
find_package(Boost 1.74 REQUIRED)

pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo pangofc fontconfig cairo)
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
# UTF-8 checks, UTF-16 and base64 for the property lists.
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0)
# MD5 for the device identifiers: libmd is small, where OpenSSL's symbols were a third
# of the loader's work at every start.
pkg_check_modules(LIBMD REQUIRED IMPORTED_TARGET libmd)
pkg_check_modules(LIBJPEG REQUIRED IMPORTED_TARGET libjpeg)
# The tests read the app's JPEGs back through TurboJPEG, a second reader beside the app's own.
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
pkg_check_modules(UUID REQUIRED IMPORTED_TARGET uuid)
# The window's clipboard speaks X11 through libxcb, loaded when first used (XcbLibrary).
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)

# The promotion server in tools/ is built with the project, so cpp-httplib always is needed.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
# Where promo-server keeps the reports.
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
if(VQ_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(VQ_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
