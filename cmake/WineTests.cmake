# The Windows test programs of a cross build run under Wine, through CTest's
# emulator: <build>/wine-run starts each with the Qt and compiler DLLs it
# needs, in the prefix and on the X display of the test run's session, which
# the fixture "wine" starts before the first test and ends after the last
# (cmake/wine/session.sh). The session lives in <build>/wine.

find_program(TRV_WINE wine)
find_program(TRV_XVFB Xvfb)
if(NOT TRV_WINE OR NOT TRV_XVFB)
    message(WARNING "The Windows tests need wine and Xvfb (tools/install-deps.sh installs them); "
                    "without them the programs build, but ctest cannot run them.")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/WindowsRuntime.cmake)

# Their folders and Qt's, as Wine names them: drive Z: is the root of the file system.
set(trv_folders ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS})
foreach(dll IN LISTS TRV_WINDOWS_RUNTIME_DLLS)
    get_filename_component(folder ${dll} DIRECTORY)
    get_filename_component(folder ${folder} REALPATH)
    list(APPEND trv_folders ${folder})
endforeach()
list(REMOVE_DUPLICATES trv_folders)
list(TRANSFORM trv_folders PREPEND "Z:")
list(JOIN trv_folders ";" TRV_WINE_PATH)
string(REPLACE "/" "\\" TRV_WINE_PATH "${TRV_WINE_PATH}")
unset(trv_folders)
unset(folder)

set(TRV_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(TRV_WINE_SESSION ${CMAKE_BINARY_DIR}/wine)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine/run.in ${CMAKE_BINARY_DIR}/wine-run
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Every test runs in the session: tests/CMakeLists.txt requires the fixture for each one.
function(trv_add_wine_session_fixture)
    add_test(NAME wine_session_start COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wine/session.sh start ${TRV_WINE_SESSION})
    add_test(NAME wine_session_stop COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wine/session.sh stop ${TRV_WINE_SESSION})
    # Making a prefix took 40 s on a busy machine.
    set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 600)
    set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
endfunction()
