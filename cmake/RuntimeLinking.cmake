# Exceptions that cross a module boundary. The x86_64 runtime unwinds through
# the system's table-based exception dispatch, which every module shares, so
# fully static runtimes work. The i686 runtime uses DWARF unwinding, whose
# registry of unwind tables lives inside libgcc: with a static libgcc each
# module has its own and an exception thrown by loader.dll cannot reach the
# launcher's catch. On i686 the launcher and loader therefore share libgcc's
# DLL, which is shipped beside the launcher.
set(SHARED_UNWINDER_DLLS "")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_dw2-1.dll
                    OUTPUT_VARIABLE LIBGCC_DLL OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                    OUTPUT_VARIABLE WINPTHREAD_DLL OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT EXISTS ${WINPTHREAD_DLL})
        set(WINPTHREAD_DLL /usr/i686-w64-mingw32/lib/libwinpthread-1.dll)
    endif()
    set(SHARED_UNWINDER_DLLS ${LIBGCC_DLL} ${WINPTHREAD_DLL})
endif()

function(use_shared_unwinder target)
    if(SHARED_UNWINDER_DLLS)
        set_target_properties(${target} PROPERTIES SHARED_UNWINDER ON)
        foreach(dll ${SHARED_UNWINDER_DLLS})
            add_custom_command(TARGET ${target} POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll}
                                                                   $<TARGET_FILE_DIR:${target}>)
        endforeach()
    endif()
endfunction()
