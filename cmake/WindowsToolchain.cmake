# Cross-building the Windows programs on Debian: 64-bit Windows with Debian's
# mingw-w64 (g++-mingw-w64-x86-64-posix) against a Qt for Windows built with
# the same compiler, and the host's Qt tools (moc, rcc, uic) from /usr. The
# preset "windows" of CMakePresets.json uses this file.
#
# The Qt for Windows is TRV_WINDOWS_QT, a Qt prefix (the folder with
# lib/cmake/Qt6), when given. Otherwise it is the prebuilt archive
# TRV_WINDOWS_QT_ARCHIVE (by default ../shared/windows/ beside the checkout),
# unpacked on first use into the user's cache folder, outside the checkout,
# where every build folder shares it.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(TRV_WINDOWS_QT "" CACHE PATH "Qt for Windows (mingw-w64): its prefix, the folder that holds lib/cmake/Qt6")
set(TRV_WINDOWS_QT_ARCHIVE "${CMAKE_CURRENT_LIST_DIR}/../../shared/windows/qt6.4.2-mingw-w64.tar.xz"
    CACHE FILEPATH "The prebuilt Qt for Windows, unpacked into the user's cache folder when TRV_WINDOWS_QT is not given")
# try_compile runs this file again in projects of its own; they see only these.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TRV_WINDOWS_QT TRV_WINDOWS_QT_ARCHIVE)

if(TRV_WINDOWS_QT STREQUAL "")
    if(NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
        set(trv_cache "$ENV{XDG_CACHE_HOME}/trv5kb-programmer")
    else()
        set(trv_cache "$ENV{HOME}/.cache/trv5kb-programmer")
    endif()
    get_filename_component(trv_archive "${TRV_WINDOWS_QT_ARCHIVE}" ABSOLUTE)
    get_filename_component(trv_archive_name "${trv_archive}" NAME)
    string(REGEX REPLACE "(\\.tar)?\\.[^.]+$" "" trv_archive_name "${trv_archive_name}")
    set(trv_unpacked "${trv_cache}/${trv_archive_name}")
    # The stamp is written last, so a folder without it is an unpacking cut short.
    if(NOT EXISTS "${trv_unpacked}/unpacked.stamp")
        if(NOT EXISTS "${trv_archive}")
            message(FATAL_ERROR
                "No Qt for Windows: ${trv_archive} is missing.\n"
                "Build it with ../shared/windows/build-qt.sh PREFIX (about an hour on two cores; the script says "
                "which sources it needs), then configure with -DTRV_WINDOWS_QT=PREFIX, or make the archive "
                "as the script's last line shows and put it there.")
        endif()
        message(STATUS "Unpacking ${trv_archive} into ${trv_unpacked}")
        file(MAKE_DIRECTORY "${trv_cache}")
        # Two build folders configured at once unpack one after the other.
        file(LOCK "${trv_cache}/unpacking.lock" GUARD FILE)
        if(NOT EXISTS "${trv_unpacked}/unpacked.stamp")
            file(REMOVE_RECURSE "${trv_unpacked}")
            file(ARCHIVE_EXTRACT INPUT "${trv_archive}" DESTINATION "${trv_unpacked}")
            file(TOUCH "${trv_unpacked}/unpacked.stamp")
        endif()
        file(LOCK "${trv_cache}/unpacking.lock" RELEASE)
    endif()
    file(GLOB trv_prefix LIST_DIRECTORIES true "${trv_unpacked}/*/lib/cmake/Qt6")
    if(NOT trv_prefix)
        message(FATAL_ERROR "${trv_archive} holds no Qt (no */lib/cmake/Qt6 in ${trv_unpacked})")
    endif()
    get_filename_component(trv_prefix "${trv_prefix}/../../.." ABSOLUTE)
    set(TRV_WINDOWS_QT "${trv_prefix}" CACHE PATH "" FORCE)
    unset(trv_cache)
    unset(trv_archive)
    unset(trv_archive_name)
    unset(trv_unpacked)
    unset(trv_prefix)
endif()

if(NOT EXISTS "${TRV_WINDOWS_QT}/lib/cmake/Qt6/Qt6Config.cmake")
    message(FATAL_ERROR "TRV_WINDOWS_QT (${TRV_WINDOWS_QT}) is no Qt prefix: it has no lib/cmake/Qt6")
endif()

# The Qt for Windows and the compiler's own Windows libraries, never the host's.
set(CMAKE_FIND_ROOT_PATH "${TRV_WINDOWS_QT}" /usr/x86_64-w64-mingw32)
list(PREPEND CMAKE_PREFIX_PATH "${TRV_WINDOWS_QT}/lib/cmake")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# moc, rcc and uic come from the host's Qt of the same version (Debian's qt6-base-dev-tools).
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake CACHE PATH "")
