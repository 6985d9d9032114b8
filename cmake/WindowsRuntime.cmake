# The run-time DLLs of the compiler that Windows programs built with MinGW
# need beside them (the C++ library, the unwinder, the threads): as
# TRV_WINDOWS_RUNTIME_DLLS, found where the compiler itself finds them (a
# cross compiler's library folders) or beside the compiler (MSYS2).
include_guard(GLOBAL)

set(TRV_WINDOWS_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        get_filename_component(compiler_folder ${CMAKE_CXX_COMPILER} DIRECTORY)
        set(path ${compiler_folder}/${dll})
    endif()
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "The compiler does not know where ${dll} is (it said \"${path}\")")
    endif()
    list(APPEND TRV_WINDOWS_RUNTIME_DLLS ${path})
endforeach()
unset(path)
unset(compiler_folder)

