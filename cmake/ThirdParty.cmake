# Third-party code, all from Debian's packages: GoogleTest built from its source
# package (so the cross compilers can build it too), Google Benchmark for the
# native build only. Nothing third-party goes into the launcher's image.

set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)

if(NOT WIN32)
    find_package(benchmark QUIET)
endif()
