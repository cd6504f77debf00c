# Compile options shared by every target of the project (not by third-party code).
add_library(project_options INTERFACE)
target_compile_options(project_options INTERFACE -Wall -Wextra -Werror)
# Source paths (from __FILE__ in assertions and in debug information)
# relative to the checkout, so the image and its symbols do not depend on
# where they were built. The compiler runs in the build folder, which the
# debug information names as ".": a debugger started in the checkout finds
# the sources.
target_compile_options(project_options INTERFACE -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                                                 -fdebug-prefix-map=${CMAKE_BINARY_DIR}=.)

if(WIN32)
    # The compiler as a command that answers for the target: clang serves
    # every target and is told which.
    set(TARGET_COMPILER ${CMAKE_CXX_COMPILER})
    if(CMAKE_CXX_COMPILER_TARGET)
        list(APPEND TARGET_COMPILER --target=${CMAKE_CXX_COMPILER_TARGET})
    endif()
    # The win32-threads variant of GCC's runtime, whose libstdc++ and libgcc
    # need no winpthreads (it would bring thread-context and system-time
    # imports that the launcher never calls). clang's driver takes whichever
    # variant it finds, and takes no --gcc-install-dir for these targets.
    execute_process(COMMAND ${TARGET_COMPILER} -print-libgcc-file-name OUTPUT_VARIABLE TARGET_LIBGCC
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT TARGET_LIBGCC MATCHES "/[0-9]+-win32/libgcc\\.a$")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} links ${TARGET_LIBGCC}, not the win32-threads runtime: "
                            "install g++-mingw-w64-i686-win32 and g++-mingw-w64-x86-64-win32 (tools/setup.sh)")
    endif()
    get_filename_component(TARGET_LIBGCC_DIR ${TARGET_LIBGCC} DIRECTORY)
    # Unicode Win32 calls everywhere; the C99-conforming printf family of mingw
    # instead of msvcrt's, whose _vsnprintf returns -1 on a short buffer.
    target_compile_definitions(project_options INTERFACE UNICODE _UNICODE __USE_MINGW_ANSI_STDIO=1)
    # Stack buffer overrun detection, and checked C library calls where the
    # size of the destination is known (mingw-w64's _FORTIFY_SOURCE, which
    # takes effect in optimised builds, as every Windows build is). Both call
    # into GCC's libssp, which the driver links, statically like the rest.
    # The plain protector guards the functions with character arrays; the
    # strong one, every function with a local array or address taken, would
    # grow the win32 image past 400 KiB.
    target_compile_options(project_options INTERFACE -fstack-protector)
    target_compile_definitions(project_options INTERFACE _FORTIFY_SOURCE=2)
    target_link_options(project_options INTERFACE -fstack-protector)
    # Ship self-contained files: no libgcc, libstdc++ or winpthread DLLs,
    # except for the test fixture that stands for a loader built against
    # libgcc's DLL (use_shared_libgcc, RuntimeLinking.cmake).
    # clang's driver links libgcc's DLL unless told -static; GCC's needs
    # -shared-libgcc for it.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        set(SHARED_LIBGCC_OPTION "")
    else()
        set(SHARED_LIBGCC_OPTION -shared-libgcc)
    endif()
    target_link_options(project_options INTERFACE -static-libstdc++
                        $<IF:$<BOOL:$<TARGET_PROPERTY:SHARED_UNWINDER>>,${SHARED_LIBGCC_OPTION},-static>)
    # What ships (see ship_image) is optimised for size (its work is a few
    # file, registry and module calls) and carries debug information for the
    # separate symbols file. One section per function and object lets the
    # linker drop what the launcher does not reach.
    target_compile_options(project_options INTERFACE "$<$<BOOL:$<TARGET_PROPERTY:SHIPPED>>:-g;-Os>"
                           -ffunction-sections -fdata-sections)
    # Control-flow guard (clang only: GCC 12 has no -mguard=cf): every
    # indirect call is checked, in every image. The images link the guard's
    # pointers; the launcher alone carries the load configuration and the
    # tables that make Windows check (launch/CMakeLists.txt). The pointers
    # are linked into the GCC builds too, for the launcher's hand-written
    # call of the entry point, which goes through them in every build.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        target_compile_options(project_options INTERFACE -mguard=cf)
    endif()
    add_library(guard_check STATIC ${PROJECT_SOURCE_DIR}/launch/image/GuardCheck.cpp)
    target_compile_options(guard_check PRIVATE -Wall -Wextra -Werror)
    target_link_libraries(project_options INTERFACE guard_check)
else()
    option(VALDRENNE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
    if(VALDRENNE_SANITIZE)
        target_compile_options(project_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                         -fno-omit-frame-pointer)
        target_link_options(project_options INTERFACE -fsanitize=address,undefined)
    endif()
endif()

# Marks the libraries and the executable that make up a shipped image. The
# image drops unreached sections; `make dist` strips it and keeps its debug
# information apart.
function(ship_image executable)
    set_target_properties(${executable} ${ARGN} PROPERTIES SHIPPED ON)
    target_link_options(${executable} PRIVATE -Wl,--gc-sections)
endfunction()

# Starts a GUI executable of the clang builds through the image's own entry
# point, which seeds the stack protector's guard where the system loader did
# not, before any protected function runs (launch/image/StackGuard.cpp).
function(use_stack_guard executable)
    target_link_libraries(${executable} PRIVATE stack_guard)
    target_link_options(${executable} PRIVATE -Wl,--entry=LaunchImageStartup)
endfunction()

# `make coverage`: gcov's counters in every project target. Unoptimised, so
# each line and branch counted is one of the source; updated atomically, as
# tests run code on several threads at once; libgcov is static, so a
# Windows image still needs no runtime DLL. The source paths recorded for
# gcov stay absolute (the prefix map above would make them relative to the
# checkout, which gcov resolves against the build folder).
option(VALDRENNE_COVERAGE "Build with gcov coverage counters" OFF)
if(VALDRENNE_COVERAGE)
    target_compile_options(project_options INTERFACE --coverage -O0 -fprofile-update=prefer-atomic
                                                     -fprofile-prefix-map=${PROJECT_SOURCE_DIR}/=${PROJECT_SOURCE_DIR}/)
    target_link_options(project_options INTERFACE --coverage)
    # A process that ends itself at once writes its counts first.
    target_compile_definitions(project_options INTERFACE VALDRENNE_COVERAGE)
endif()
