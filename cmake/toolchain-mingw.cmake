# Cross-compiling for Windows on mingw-w64's headers, C runtime (msvcrt) and
# GCC 12's libstdc++ and libgcc. The preset sets
# - VALDRENNE_TRIPLET: i686-w64-mingw32 or x86_64-w64-mingw32;
# - VALDRENNE_COMPILER: clang (clang 19 with lld 19, which makes the images
#   that ship: only lld writes control-flow guard tables and a load
#   configuration) or gcc (GCC 12 with GNU ld, the second compiler).
# Both take the win32-threads variant of GCC's runtime, which needs no
# winpthreads (ProjectOptions.cmake checks that clang's driver took it).
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VALDRENNE_TRIPLET VALDRENNE_COMPILER)
set(CMAKE_SYSTEM_NAME Windows)
if(VALDRENNE_TRIPLET STREQUAL "i686-w64-mingw32")
    set(CMAKE_SYSTEM_PROCESSOR x86)
elseif(VALDRENNE_TRIPLET STREQUAL "x86_64-w64-mingw32")
    set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
    message(FATAL_ERROR "VALDRENNE_TRIPLET: i686-w64-mingw32 or x86_64-w64-mingw32, not '${VALDRENNE_TRIPLET}'")
endif()

if(VALDRENNE_COMPILER STREQUAL "clang")
    set(CMAKE_C_COMPILER clang-19)
    set(CMAKE_CXX_COMPILER clang++-19)
    set(CMAKE_ASM_COMPILER clang-19)
    foreach(language C CXX ASM)
        set(CMAKE_${language}_COMPILER_TARGET ${VALDRENNE_TRIPLET})
    endforeach()
    foreach(kind EXE SHARED MODULE)
        set(CMAKE_${kind}_LINKER_FLAGS_INIT -fuse-ld=lld)
    endforeach()
elseif(VALDRENNE_COMPILER STREQUAL "gcc")
    set(CMAKE_C_COMPILER ${VALDRENNE_TRIPLET}-gcc-win32)
    set(CMAKE_CXX_COMPILER ${VALDRENNE_TRIPLET}-g++-win32)
    set(CMAKE_ASM_COMPILER ${VALDRENNE_TRIPLET}-gcc-win32)
else()
    message(FATAL_ERROR "VALDRENNE_COMPILER: clang or gcc, not '${VALDRENNE_COMPILER}'")
endif()
# The target's binutils, whichever compiler: archives, resources, symbols.
foreach(tool AR RANLIB NM OBJCOPY STRIP)
    string(TOLOWER ${tool} name)
    set(CMAKE_${tool} /usr/bin/${VALDRENNE_TRIPLET}-${name})
endforeach()
set(CMAKE_RC_COMPILER ${VALDRENNE_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VALDRENNE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec.sh)
