# The effects: their description (plain data), a static library with the effect classes (linked by the
# tests and benchmarks) and the plug-ins themselves, Tidebloom.so and TidebloomPrecise.so, modules that
# export only VSTPluginMain and main. Beside each an LV2 bundle, Tidebloom.lv2/ and
# TidebloomPrecise.lv2/: the same effect classes built against the LV2 binding, a module exporting only
# lv2_descriptor, the editor as an LV2 UI in a module of its own, and the Turtle files written from the
# description. Both plug-ins are built from the same entry sources; TIDEBLOOM_PRECISE selects Tidebloom
# Precise.
add_library(tidebloom_description STATIC ${PROJECT_SOURCE_DIR}/TidebloomDescription.cpp)
target_include_directories(tidebloom_description PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tidebloom_description PUBLIC plugin)

add_library(tidebloom_effect STATIC ${PROJECT_SOURCE_DIR}/Tidebloom.cpp ${PROJECT_SOURCE_DIR}/TidebloomPrecise.cpp
                                    ${PROJECT_SOURCE_DIR}/TidebloomWithEditor.cpp)
target_include_directories(tidebloom_effect PUBLIC ${PROJECT_SOURCE_DIR})
# The VST 2 effect comes with an editor: its controls (Graphics/) on the X11 window host, attached by
# TidebloomWithEditor.cpp (the effect class itself knows no editor).
target_link_libraries(tidebloom_effect PUBLIC vst2 plugin util sound tidebloom_description tidebloom_graphics
                                              platform_linux)
target_compile_options(tidebloom_effect PRIVATE -ffp-contract=off)

# A VST 2 plug-in module named <name>.so from the entry source, compiled with the given definitions.
function(tidebloom_vst2_module target name)
    add_library(${target} MODULE ${PROJECT_SOURCE_DIR}/TidebloomEntry.cpp)
    target_compile_definitions(${target} PRIVATE ${ARGN})
    target_link_libraries(${target} PRIVATE tidebloom_effect)
    # The editor's pictures, compiled in as named resources (tools/), so the plug-in installs as one file.
    target_link_libraries(${target} PRIVATE tidebloom_resources)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
                          LINK_DEPENDS ${PROJECT_SOURCE_DIR}/Tidebloom.version)
    target_link_options(${target} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/Tidebloom.version)
    # Every symbol must resolve inside the module or in the system libraries it names, so a host's
    # dlopen(RTLD_NOW) cannot fail. Sanitizer runtimes are supplied by the executable, so not there.
    if(NOT TIDEBLOOM_SANITIZE AND NOT TIDEBLOOM_TSAN AND NOT TIDEBLOOM_FUZZ)
        target_link_options(${target} PRIVATE -Wl,--no-undefined -Wl,-z,defs)
    endif()
    install(TARGETS ${target} LIBRARY DESTINATION lib/vst)
endfunction()
tidebloom_vst2_module(Tidebloom Tidebloom)
tidebloom_vst2_module(TidebloomPrecise TidebloomPrecise TIDEBLOOM_PRECISE)

# The file naming the built programs, read by `make demo`, `make install` and the install checks:
# tidebloom-host (line 1, host/), Tidebloom.so (line 2), the host's compressed manual page (line 3,
# empty when the build writes none; see TidebloomPackage.cmake) and TidebloomPrecise.so (line 4).
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/tidebloom-paths.txt
     CONTENT "$<TARGET_FILE:tidebloom-host>\n$<TARGET_FILE:Tidebloom>\n\
$<$<TARGET_EXISTS:tidebloom-host-man>:${TIDEBLOOM_HOST_MAN_PAGE}.gz>\n$<TARGET_FILE:TidebloomPrecise>\n")

# ---- The LV2 bundles, build/lv2/<name>.lv2 (a folder of bundles only, for LV2_PATH) ----
add_library(tidebloom_effect_lv2 STATIC ${PROJECT_SOURCE_DIR}/Tidebloom.cpp ${PROJECT_SOURCE_DIR}/TidebloomPrecise.cpp)
target_include_directories(tidebloom_effect_lv2 PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(tidebloom_effect_lv2 PUBLIC TIDEBLOOM_LV2)
target_link_libraries(tidebloom_effect_lv2 PUBLIC lv2 plugin util sound tidebloom_description)
target_compile_options(tidebloom_effect_lv2 PRIVATE -ffp-contract=off)

# The bundle build/lv2/<name>.lv2 of the effect with this URI: <name>.so from the LV2 entry source,
# compiled with the given definitions, its editor <name>UI.so and its Turtle files.
function(tidebloom_lv2_bundle target name uri)
    set(bundle ${CMAKE_BINARY_DIR}/lv2/${name}.lv2)
    add_library(${target} MODULE ${PROJECT_SOURCE_DIR}/TidebloomEntryLV2.cpp)
    target_compile_definitions(${target} PRIVATE ${ARGN})
    target_link_libraries(${target} PRIVATE tidebloom_effect_lv2)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name} LIBRARY_OUTPUT_DIRECTORY ${bundle}
                          LINK_DEPENDS ${PROJECT_SOURCE_DIR}/TidebloomLV2.version)
    target_link_options(${target} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/TidebloomLV2.version)
    if(NOT TIDEBLOOM_SANITIZE AND NOT TIDEBLOOM_TSAN AND NOT TIDEBLOOM_FUZZ)
        target_link_options(${target} PRIVATE -Wl,--no-undefined -Wl,-z,defs)
    endif()

    # The editor as an LV2 UI: its own module in the bundle, <name>UI.so, exporting only
    # lv2ui_descriptor: the UI binding with the effect's controls on the X11 window host and the
    # compiled-in pictures, as in the VST 2 plug-in. The DSP module above links none of it.
    add_library(${target}UI MODULE ${PROJECT_SOURCE_DIR}/TidebloomEntryLV2UI.cpp)
    target_include_directories(${target}UI PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${target}UI PRIVATE ${ARGN})
    target_link_libraries(${target}UI PRIVATE lv2 plugin util tidebloom_description tidebloom_graphics
                                               platform_linux tidebloom_resources)
    set_target_properties(${target}UI PROPERTIES PREFIX "" OUTPUT_NAME ${name}UI LIBRARY_OUTPUT_DIRECTORY ${bundle}
                          LINK_DEPENDS ${PROJECT_SOURCE_DIR}/TidebloomLV2UI.version)
    target_link_options(${target}UI PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/TidebloomLV2UI.version)
    if(NOT TIDEBLOOM_SANITIZE AND NOT TIDEBLOOM_TSAN AND NOT TIDEBLOOM_FUZZ)
        target_link_options(${target}UI PRIVATE -Wl,--no-undefined -Wl,-z,defs)
    endif()

    set(turtle ${bundle}/manifest.ttl ${bundle}/${name}.ttl ${bundle}/presets.ttl)
    add_custom_command(OUTPUT ${turtle}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${bundle}
                       COMMAND tidebloom-lv2ttl ${bundle} ${name}.so ${name}UI.so ${uri}
                       DEPENDS tidebloom-lv2ttl
                       COMMENT "Writing the Turtle files of ${name}.lv2")
    add_custom_target(${target}Turtle ALL DEPENDS ${turtle})
    add_dependencies(${target} ${target}Turtle)
    add_dependencies(${target}UI ${target}Turtle)

    install(TARGETS ${target} ${target}UI LIBRARY DESTINATION lib/lv2/${name}.lv2)
    install(FILES ${turtle} DESTINATION lib/lv2/${name}.lv2)
endfunction()
tidebloom_lv2_bundle(TidebloomLV2 Tidebloom urn:vendrilax:tidebloom)
tidebloom_lv2_bundle(TidebloomPreciseLV2 TidebloomPrecise urn:vendrilax:tidebloom-precise TIDEBLOOM_PRECISE)
