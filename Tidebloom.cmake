# The effect: its description (plain data), a static library with the effect class (linked by the
# tests and benchmarks) and the plug-in itself, Tidebloom.so, a module that exports only VSTPluginMain
# and main. Beside it the VST 3 bundle Tidebloom.vst3/ (the effect and its editor against the VST 3
# binding) and the LV2 bundle Tidebloom.lv2/: the same effect class built against the LV2 binding, a
# module exporting only lv2_descriptor, the editor as an LV2 UI in a module of its own, and the Turtle
# files written from the description.
add_library(tidebloom_description STATIC ${PROJECT_SOURCE_DIR}/TidebloomDescription.cpp)
target_include_directories(tidebloom_description PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tidebloom_description PUBLIC plugin)

add_library(tidebloom_effect STATIC ${PROJECT_SOURCE_DIR}/Tidebloom.cpp ${PROJECT_SOURCE_DIR}/TidebloomWithEditor.cpp)
target_include_directories(tidebloom_effect PUBLIC ${PROJECT_SOURCE_DIR})
# The VST 2 effect comes with an editor: its controls (Graphics/) on the X11 window host, attached by
# TidebloomWithEditor.cpp (the effect class itself knows no editor).
target_link_libraries(tidebloom_effect PUBLIC vst2 plugin util sound tidebloom_description tidebloom_graphics
                                              platform_linux)
target_compile_options(tidebloom_effect PRIVATE -ffp-contract=off)

add_library(Tidebloom MODULE ${PROJECT_SOURCE_DIR}/TidebloomEntry.cpp)
target_link_libraries(Tidebloom PRIVATE tidebloom_effect)
# The editor's pictures, compiled in as named resources (tools/), so the plug-in installs as one file.
target_link_libraries(Tidebloom PRIVATE tidebloom_resources)
set_target_properties(Tidebloom PROPERTIES PREFIX "" OUTPUT_NAME Tidebloom
                      LINK_DEPENDS ${PROJECT_SOURCE_DIR}/Tidebloom.version)
target_link_options(Tidebloom PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/Tidebloom.version)
# Every symbol must resolve inside the module or in the system libraries it names, so a host's
# dlopen(RTLD_NOW) cannot fail. Sanitizer runtimes are supplied by the executable, so not there.
if(NOT TIDEBLOOM_SANITIZE AND NOT TIDEBLOOM_TSAN AND NOT TIDEBLOOM_FUZZ)
    target_link_options(Tidebloom PRIVATE -Wl,--no-undefined -Wl,-z,defs)
endif()
install(TARGETS Tidebloom LIBRARY DESTINATION lib/vst)
# The file naming the built programs, read by `make demo`, `make install` and the install checks:
# tidebloom-host (line 1, host/), Tidebloom.so (line 2) and the host's compressed manual page (line 3,
# empty when the build writes none; see TidebloomPackage.cmake).
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/tidebloom-paths.txt
     CONTENT "$<TARGET_FILE:tidebloom-host>\n$<TARGET_FILE:Tidebloom>\n\
$<$<TARGET_EXISTS:tidebloom-host-man>:${TIDEBLOOM_HOST_MAN_PAGE}.gz>\n")

# ---- The VST 3 bundle, build/vst3/Tidebloom.vst3 (a folder of bundles only, for VST3_PATH) ----
# The same effect class and editor built against the VST 3 binding, in the bundle's module
# Contents/x86_64-linux/Tidebloom.so, which exports only GetPluginFactory, ModuleEntry and ModuleExit.
set(TIDEBLOOM_VST3_BUNDLE ${CMAKE_BINARY_DIR}/vst3/Tidebloom.vst3)
set(TIDEBLOOM_VST3_ARCH x86_64-linux)
add_library(tidebloom_effect_vst3 STATIC ${PROJECT_SOURCE_DIR}/Tidebloom.cpp ${PROJECT_SOURCE_DIR}/TidebloomWithEditor.cpp)
target_include_directories(tidebloom_effect_vst3 PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(tidebloom_effect_vst3 PUBLIC TIDEBLOOM_VST3)
target_link_libraries(tidebloom_effect_vst3 PUBLIC vst3 plugin util sound tidebloom_description tidebloom_graphics
                                                   platform_linux)
target_compile_options(tidebloom_effect_vst3 PRIVATE -ffp-contract=off)

add_library(TidebloomVST3 MODULE ${PROJECT_SOURCE_DIR}/TidebloomEntryVST3.cpp)
target_link_libraries(TidebloomVST3 PRIVATE tidebloom_effect_vst3 tidebloom_resources)
set_target_properties(TidebloomVST3 PROPERTIES PREFIX "" OUTPUT_NAME Tidebloom
                      LIBRARY_OUTPUT_DIRECTORY ${TIDEBLOOM_VST3_BUNDLE}/Contents/${TIDEBLOOM_VST3_ARCH}
                      LINK_DEPENDS ${PROJECT_SOURCE_DIR}/TidebloomVST3.version)
target_link_options(TidebloomVST3 PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/TidebloomVST3.version)
if(NOT TIDEBLOOM_SANITIZE AND NOT TIDEBLOOM_TSAN AND NOT TIDEBLOOM_FUZZ)
    target_link_options(TidebloomVST3 PRIVATE -Wl,--no-undefined -Wl,-z,defs)
endif()
install(TARGETS TidebloomVST3 LIBRARY DESTINATION lib/vst3/Tidebloom.vst3/Contents/${TIDEBLOOM_VST3_ARCH})

# ---- The LV2 bundle, build/lv2/Tidebloom.lv2 (a folder of bundles only, for LV2_PATH) ----
set(TIDEBLOOM_LV2_BUNDLE ${CMAKE_BINARY_DIR}/lv2/Tidebloom.lv2)
add_library(tidebloom_effect_lv2 STATIC ${PROJECT_SOURCE_DIR}/Tidebloom.cpp)
target_include_directories(tidebloom_effect_lv2 PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(tidebloom_effect_lv2 PUBLIC TIDEBLOOM_LV2)
target_link_libraries(tidebloom_effect_lv2 PUBLIC lv2 plugin util sound tidebloom_description)
target_compile_options(tidebloom_effect_lv2 PRIVATE -ffp-contract=off)

add_library(TidebloomLV2 MODULE ${PROJECT_SOURCE_DIR}/TidebloomEntryLV2.cpp)
target_link_libraries(TidebloomLV2 PRIVATE tidebloom_effect_lv2)
set_target_properties(TidebloomLV2 PROPERTIES PREFIX "" OUTPUT_NAME Tidebloom
                      LIBRARY_OUTPUT_DIRECTORY ${TIDEBLOOM_LV2_BUNDLE}
                      LINK_DEPENDS ${PROJECT_SOURCE_DIR}/TidebloomLV2.version)
target_link_options(TidebloomLV2 PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/TidebloomLV2.version)
if(NOT TIDEBLOOM_SANITIZE AND NOT TIDEBLOOM_TSAN AND NOT TIDEBLOOM_FUZZ)
    target_link_options(TidebloomLV2 PRIVATE -Wl,--no-undefined -Wl,-z,defs)
endif()

# The editor as an LV2 UI: its own module in the bundle, TidebloomUI.so, exporting only lv2ui_descriptor:
# the UI binding with Tidebloom's controls on the X11 window host and the compiled-in pictures, as in
# Tidebloom.so. The DSP module above links none of it.
add_library(TidebloomLV2UI MODULE ${PROJECT_SOURCE_DIR}/TidebloomEntryLV2UI.cpp)
target_include_directories(TidebloomLV2UI PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(TidebloomLV2UI PRIVATE lv2 plugin util tidebloom_description tidebloom_graphics
                                             platform_linux tidebloom_resources)
set_target_properties(TidebloomLV2UI PROPERTIES PREFIX "" OUTPUT_NAME TidebloomUI
                      LIBRARY_OUTPUT_DIRECTORY ${TIDEBLOOM_LV2_BUNDLE}
                      LINK_DEPENDS ${PROJECT_SOURCE_DIR}/TidebloomLV2UI.version)
target_link_options(TidebloomLV2UI PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/TidebloomLV2UI.version)
if(NOT TIDEBLOOM_SANITIZE AND NOT TIDEBLOOM_TSAN AND NOT TIDEBLOOM_FUZZ)
    target_link_options(TidebloomLV2UI PRIVATE -Wl,--no-undefined -Wl,-z,defs)
endif()

set(TIDEBLOOM_LV2_TURTLE ${TIDEBLOOM_LV2_BUNDLE}/manifest.ttl ${TIDEBLOOM_LV2_BUNDLE}/Tidebloom.ttl
                         ${TIDEBLOOM_LV2_BUNDLE}/presets.ttl)
add_custom_command(OUTPUT ${TIDEBLOOM_LV2_TURTLE}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${TIDEBLOOM_LV2_BUNDLE}
                   COMMAND tidebloom-lv2ttl ${TIDEBLOOM_LV2_BUNDLE} Tidebloom.so TidebloomUI.so
                   DEPENDS tidebloom-lv2ttl
                   COMMENT "Writing the Turtle files of Tidebloom.lv2")
add_custom_target(TidebloomLV2Turtle ALL DEPENDS ${TIDEBLOOM_LV2_TURTLE})
add_dependencies(TidebloomLV2 TidebloomLV2Turtle)
add_dependencies(TidebloomLV2UI TidebloomLV2Turtle)

install(TARGETS TidebloomLV2 TidebloomLV2UI LIBRARY DESTINATION lib/lv2/Tidebloom.lv2)
install(FILES ${TIDEBLOOM_LV2_TURTLE} DESTINATION lib/lv2/Tidebloom.lv2)
