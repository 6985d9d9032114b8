# The pictures the build draws with tools/picgen: the element pictures and
# step strips that the program loads from its own folder (and that install
# beside it), those the window carries inside itself, each at its size and at
# twice that, and the desktop icon at the sizes of the hicolor icon theme,
# laid out as the theme is (installed by packaging/). This is the one list of
# them the build knows. The first kind is read from the element table, where
# the program and the drawing take their names from too.
set(TRV_PICTURE_DIR ${CMAKE_BINARY_DIR}/bin)
set(TRV_EMBEDDED_DIR ${CMAKE_BINARY_DIR}/embedded)
set(TRV_ICON_DIR ${CMAKE_BINARY_DIR}/icons)

set(trv_element_table ${PROJECT_SOURCE_DIR}/src/chart/ElementTable.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${trv_element_table})
file(STRINGS ${trv_element_table} trv_picture_rows REGEX "\"[^\"]+\\.jpg\"")
set(TRV_PICTURE_NAMES)
foreach(trv_row IN LISTS trv_picture_rows)
    string(REGEX MATCH "\"([^\"]+\\.jpg)\"" trv_row "${trv_row}")
    list(APPEND TRV_PICTURE_NAMES ${CMAKE_MATCH_1})
endforeach()
if(NOT TRV_PICTURE_NAMES)
    message(FATAL_ERROR "No picture files found in ${trv_element_table}")
endif()
unset(trv_element_table)
unset(trv_picture_rows)
unset(trv_row)

set(TRV_EMBEDDED_NAMES icon.png Picture4.jpg Picture2.jpg Image1.jpg)

# Each picture also comes drawn at twice the size, named as Qt looks for it on
# a screen that scales by more than 1: UP@2x.jpg beside UP.jpg.
foreach(trv_list TRV_PICTURE_NAMES TRV_EMBEDDED_NAMES)
    set(trv_twice)
    foreach(trv_name IN LISTS ${trv_list})
        string(REGEX REPLACE "^(.*)(\\.[a-z]+)$" "\\1@2x\\2" trv_name "${trv_name}")
        list(APPEND trv_twice ${trv_name})
    endforeach()
    list(APPEND ${trv_list} ${trv_twice})
endforeach()
unset(trv_list)
unset(trv_twice)
unset(trv_name)

list(TRANSFORM TRV_PICTURE_NAMES PREPEND ${TRV_PICTURE_DIR}/ OUTPUT_VARIABLE TRV_PICTURE_FILES)
list(TRANSFORM TRV_EMBEDDED_NAMES PREPEND ${TRV_EMBEDDED_DIR}/ OUTPUT_VARIABLE TRV_EMBEDDED_FILES)
set(TRV_ICON_FILES)
foreach(trv_size 16 22 24 32 48 64 128 256)
    list(APPEND TRV_ICON_FILES ${TRV_ICON_DIR}/${trv_size}x${trv_size}/apps/trv5kb-programmer.png)
endforeach()
unset(trv_size)
# The same icon as the Windows programs carry it, at Windows' sizes in one file.
set(TRV_WINDOWS_ICON ${TRV_ICON_DIR}/trv5kb-programmer.ico)
list(APPEND TRV_ICON_FILES ${TRV_WINDOWS_ICON})
