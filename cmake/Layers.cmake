# One static library per folder of src/, linked only to the layers below it.
#
#   trv_add_layer(<target> FOLDER <folder> [SOURCES <files...>]
#                 [LAYERS <lower layer targets...>] [LIBS <other libraries...>])
#
# A folder of headers alone (no SOURCES) is an interface library.
#
# Code includes its headers by folder ("edit/ChartChange.h"). A layer sees only
# its own folder and those of the layers it links (and theirs): its include
# folder in the build tree holds a link to each of them and to nothing else, so
# an include that reaches upwards fails to compile. Where the system cannot
# make links, every layer sees all of src/ and only the link order keeps the
# layers apart.
function(trv_add_layer name)
    cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;LAYERS;LIBS" ${ARGN})
    if(ARG_SOURCES)
        add_library(${name} STATIC ${ARG_SOURCES})
        set(scope PUBLIC)
    else()
        add_library(${name} INTERFACE)
        set(scope INTERFACE)
    endif()
    set(folders ${ARG_FOLDER})
    foreach(layer IN LISTS ARG_LAYERS)
        get_target_property(below ${layer} TRV_LAYER_FOLDERS)
        list(APPEND folders ${below})
    endforeach()
    list(REMOVE_DUPLICATES folders)
    set_target_properties(${name} PROPERTIES TRV_LAYER_FOLDERS "${folders}")

    set(include_dir ${CMAKE_BINARY_DIR}/layers/${name})
    file(MAKE_DIRECTORY ${include_dir})
    set(linked TRUE)
    foreach(folder IN LISTS folders)
        if(NOT IS_SYMLINK ${include_dir}/${folder})
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${include_dir}/${folder} RESULT result SYMBOLIC)
            if(NOT result EQUAL 0)
                set(linked FALSE)
            endif()
        endif()
    endforeach()
    if(linked)
        target_include_directories(${name} ${scope} ${include_dir})
    else()
        target_include_directories(${name} ${scope} ${PROJECT_SOURCE_DIR}/src)
    endif()
    target_link_libraries(${name} ${scope} ${ARG_LAYERS} ${ARG_LIBS})
endfunction()
