# Third-party code, all from Debian's packages: GoogleTest built from its source
# package (so the cross compilers can build it too), {fmt} header-only, Google
# Benchmark for the native build only.

set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)
# GoogleTest's port settings of ours (its custom gtest-port.h), found first
# by GoogleTest and every test: the Windows builds' runtime lacks what its
# Notification is built on.
target_compile_options(gtest PUBLIC "SHELL:-iquote ${PROJECT_SOURCE_DIR}/tests/support/gtest-port")

# {fmt} lives in /usr/include, which the cross compilers must not see as a
# whole: expose only its own folder through a link. The launcher formats texts
# and integers only: without floating point and locales {fmt} adds tens of
# kilobytes to the image instead of most of a megabyte.
set(FMT_HEADERS /usr/include/fmt CACHE PATH "{fmt} headers (Debian package libfmt-dev)")
set(FMT_INCLUDE_ROOT ${CMAKE_BINARY_DIR}/_deps/fmt-include)
file(MAKE_DIRECTORY ${FMT_INCLUDE_ROOT})
file(CREATE_LINK ${FMT_HEADERS} ${FMT_INCLUDE_ROOT}/fmt SYMBOLIC)
add_library(fmt_header_only INTERFACE)
target_include_directories(fmt_header_only SYSTEM INTERFACE ${FMT_INCLUDE_ROOT})
target_compile_definitions(fmt_header_only INTERFACE FMT_HEADER_ONLY=1 FMT_USE_FLOAT=0 FMT_USE_DOUBLE=0
                                                     FMT_USE_LONG_DOUBLE=0 FMT_STATIC_THOUSANDS_SEPARATOR=',')

if(NOT WIN32)
    find_package(benchmark QUIET)
endif()
