# The fuzz build (preset fuzz): the newest installed clang whose libFuzzer and
# sanitizer runtimes are installed too. Debian ships each clang-N without its
# runtimes (libclang-rt-N-dev), so the newest clang is not always one that can
# link a fuzz target. VALDRENNE_FUZZ_CLANG (e.g. 14) names one instead.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VALDRENNE_FUZZ_CLANG)
if(NOT VALDRENNE_FUZZ_CLANG)
    set(probe_dir ${CMAKE_BINARY_DIR}/CMakeFiles/fuzz-clang-probe)
    file(WRITE ${probe_dir}/probe.cpp
         "extern \"C\" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n")
    file(GLOB candidates /usr/bin/clang++-[0-9]*)
    list(SORT candidates COMPARE NATURAL ORDER DESCENDING)
    foreach(candidate ${candidates})
        execute_process(COMMAND ${candidate} -fsanitize=fuzzer,address,undefined probe.cpp -o probe
                        WORKING_DIRECTORY ${probe_dir} RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
        if(probe_result EQUAL 0)
            string(REGEX REPLACE "^.*-" "" version ${candidate})
            set(VALDRENNE_FUZZ_CLANG ${version} CACHE STRING "The N of the clang-N that builds the fuzz targets")
            break()
        endif()
    endforeach()
    if(NOT VALDRENNE_FUZZ_CLANG)
        message(FATAL_ERROR "No clang++-N in /usr/bin links a fuzz target: install libclang-rt-N-dev for one "
                            "(tools/setup.sh installs clang-14 with libclang-rt-14-dev)")
    endif()
endif()
set(CMAKE_C_COMPILER clang-${VALDRENNE_FUZZ_CLANG})
set(CMAKE_CXX_COMPILER clang++-${VALDRENNE_FUZZ_CLANG})
