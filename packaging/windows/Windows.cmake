# The Windows programs as users get them, included by packaging/CMakeLists.txt:
# their icon, manifest and version as resources, and everything they need to
# run beside them in one folder (the install's root): the Qt and compiler
# DLLs, the platform, style and image plug-ins (printing is inside
# Qt6PrintSupport.dll), Qt's Japanese texts and a qt.conf that points Qt
# there. The portable ZIP and the installer (NSIS) are made from it by CPack:
# `cpack --preset windows`.

include(${PROJECT_SOURCE_DIR}/cmake/WindowsRuntime.cmake)

function(trv_add_windows_resources target description)
    set(TRV_RC_FILE_NAME ${target}.exe)
    set(TRV_RC_DESCRIPTION "${description}")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(windows/program.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES
        OBJECT_DEPENDS "${TRV_WINDOWS_ICON};${CMAKE_CURRENT_SOURCE_DIR}/windows/program.manifest")
    # The icon is drawn by the build.
    add_dependencies(${target} trv_pictures)
endfunction()

trv_add_windows_resources(trv5kb-programmer "TRV5KB Programmer")
trv_add_windows_resources(trv5kb "TRV5KB Programmer command-line writer")

set(folder ${TRV_PROGRAM_INSTALL_DIR})
foreach(library Core Gui Network Widgets PrintSupport SerialPort)
    install(FILES $<TARGET_FILE:Qt6::${library}> DESTINATION ${folder})
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION ${folder}/platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION ${folder}/styles)
install(FILES $<TARGET_FILE:Qt6::QJpegPlugin> $<TARGET_FILE:Qt6::QICOPlugin> DESTINATION ${folder}/imageformats)
install(FILES ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}/qtbase_ja.qm DESTINATION ${folder}/translations)
install(FILES ${TRV_WINDOWS_RUNTIME_DLLS} windows/qt.conf DESTINATION ${folder})

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_FILE_NAME trv5kb-programmer-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_VENDOR "TRV5KB Programmer")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "TRV5KB Programmer")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "TRV5KB Programmer")
set(CPACK_STRIP_FILES ON)
# A 64-bit installer, into the 64-bit Program Files, sharp at any scale.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_PACKAGE_NAME "TRV5KB Programmer")
set(CPACK_NSIS_DISPLAY_NAME "TRV5KB Programmer")
# The Start menu entry, with the program's own icon; the programs lie in the install's root.
set(CPACK_PACKAGE_EXECUTABLES trv5kb-programmer "TRV5KB Programmer")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME trv5kb-programmer.exe)
set(CPACK_NSIS_MUI_ICON ${TRV_WINDOWS_ICON})
set(CPACK_NSIS_MUI_UNIICON ${TRV_WINDOWS_ICON})
# A version installed before is removed first, asked (in a silent install: yes).
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
