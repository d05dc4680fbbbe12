# cmake -DROOT=<source folder> -P check_layers.cmake: fails when a file of a folder below includes a
# header of a folder it must not know, and names each such include.
set(rules
    "framework/plugin|framework/editor,framework/platform,framework/raster,framework/shim,framework/vst2,framework/vst3,framework/lv2,framework/clap"
    "framework/vst2|framework/editor,framework/platform,framework/raster,framework/shim,framework/vst3,framework/lv2,framework/clap"
    "framework/vst3|framework/editor,framework/platform,framework/raster,framework/shim,framework/vst2,framework/lv2,framework/clap"
    "framework/lv2|framework/editor,framework/platform,framework/raster,framework/shim,framework/vst2,framework/vst3,framework/clap"
    "framework/clap|framework/editor,framework/platform,framework/raster,framework/shim,framework/vst2,framework/vst3,framework/lv2")
set(faults "")
foreach(rule ${rules})
    string(REPLACE "|" ";" parts "${rule}")
    list(GET parts 0 folder)
    list(GET parts 1 forbidden)
    string(REPLACE "," ";" forbidden "${forbidden}")
    file(GLOB sources ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
    if(NOT sources)
        message(FATAL_ERROR "no sources in ${folder}")
    endif()
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line ${includes})
            foreach(other ${forbidden})
                string(FIND "${line}" "\"${other}/" at)
                if(NOT at EQUAL -1)
                    file(RELATIVE_PATH rel ${ROOT} ${source})
                    list(APPEND faults "${rel}: ${line}")
                endif()
            endforeach()
        endforeach()
    endforeach()
endforeach()
if(faults)
    string(REPLACE ";" "\n" faults "${faults}")
    message(FATAL_ERROR "includes across layers:\n${faults}")
endif()
message(STATUS "the layers keep to themselves")
