# Every program and module of the project links its runtimes statically
# (ProjectOptions.cmake): the launcher ships alone, importing only system
# DLLs. The one exception is a test fixture that stands for a loader built
# against GCC's shared runtime DLLs; they are copied beside it.
set(SHARED_RUNTIME_DLLS "")
if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(LIBGCC_DLL_NAME libgcc_s_dw2-1.dll)
    else()
        set(LIBGCC_DLL_NAME libgcc_s_seh-1.dll)
    endif()
    execute_process(COMMAND ${TARGET_COMPILER} -print-file-name=${LIBGCC_DLL_NAME} OUTPUT_VARIABLE LIBGCC_DLL
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    # The stack protector's runtime (ProjectOptions.cmake), shared here too.
    execute_process(COMMAND ${TARGET_COMPILER} -print-file-name=libssp-0.dll OUTPUT_VARIABLE SSP_DLL
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(SHARED_RUNTIME_DLLS ${LIBGCC_DLL} ${SSP_DLL})
    foreach(dll ${SHARED_RUNTIME_DLLS})
        if(NOT IS_ABSOLUTE "${dll}")
            message(FATAL_ERROR "the compiler does not know where its runtime DLL ${dll} lies")
        endif()
    endforeach()
endif()

# Links the target against libgcc's DLL (property read by ProjectOptions.cmake)
# and copies the runtime DLLs beside it.
function(use_shared_libgcc target)
    set_target_properties(${target} PROPERTIES SHARED_UNWINDER ON)
    foreach(dll ${SHARED_RUNTIME_DLLS})
        add_custom_command(TARGET ${target} POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll}
                                                               $<TARGET_FILE_DIR:${target}>)
    endforeach()
endfunction()
