# A cross build needs programs of the build machine: the picture generator,
# which draws the pictures while the Windows programs build, and for the tests
# under Wine the controller simulator (a Linux pseudo-terminal stands in for
# the controller's serial line), the test that drives the Windows programs
# from outside and the benchmark of their start-up. They are built from this same source for the build machine,
# with its own Qt, in <build>/host.

include(ExternalProject)

set(TRV_HOST_DIR ${CMAKE_BINARY_DIR}/host)
set(TRV_HOST_PICGEN ${TRV_HOST_DIR}/tools/trv-picgen)
set(TRV_HOST_SIMULATOR ${TRV_HOST_DIR}/bin/trv5kb-simulator)
set(TRV_HOST_WINE_TEST ${TRV_HOST_DIR}/tests/tst_wine)
set(TRV_HOST_WINE_BENCH ${TRV_HOST_DIR}/bin/trv5kb-wine-bench)

set(trv_host_args -DCMAKE_BUILD_TYPE=Release -DTRV_WINDOWS_BUILD_DIR=${CMAKE_BINARY_DIR})
if(CMAKE_CXX_COMPILER_LAUNCHER)
    list(APPEND trv_host_args -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
ExternalProject_Add(trv_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${TRV_HOST_DIR}
    # The host's compiler and Qt, whatever the cross build was given.
    CMAKE_ARGS ${trv_host_args}
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${TRV_HOST_DIR}
                  --target trv-picgen trv5kb-simulator tst_wine trv5kb-wine-bench
    INSTALL_COMMAND ""
    # The sources are this project's own: the host build decides itself what changed.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${TRV_HOST_PICGEN} ${TRV_HOST_SIMULATOR} ${TRV_HOST_WINE_TEST}
                     ${TRV_HOST_WINE_BENCH})
unset(trv_host_args)
