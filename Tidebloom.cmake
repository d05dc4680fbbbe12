# The effect: a static library with the effect class (linked by the tests and benchmarks) and the
# plug-in itself, Tidebloom.so, a module that exports only VSTPluginMain and main.
add_library(tidebloom_effect STATIC ${PROJECT_SOURCE_DIR}/Tidebloom.cpp)
target_include_directories(tidebloom_effect PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tidebloom_effect PUBLIC vst2 plugin util sound)
target_compile_options(tidebloom_effect PRIVATE -ffp-contract=off)

add_library(Tidebloom MODULE ${PROJECT_SOURCE_DIR}/TidebloomEntry.cpp)
target_link_libraries(Tidebloom PRIVATE tidebloom_effect)
# The editor's pictures, compiled in as named resources (tools/), so the plug-in installs as one file.
if(TARGET tidebloom_resources)
    target_link_libraries(Tidebloom PRIVATE tidebloom_resources)
endif()
set_target_properties(Tidebloom PROPERTIES PREFIX "" OUTPUT_NAME Tidebloom
                      LINK_DEPENDS ${PROJECT_SOURCE_DIR}/Tidebloom.version)
target_link_options(Tidebloom PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/Tidebloom.version)
# Every symbol must resolve inside the module or in the system libraries it names, so a host's
# dlopen(RTLD_NOW) cannot fail. Sanitizer runtimes are supplied by the executable, so not there.
if(NOT TIDEBLOOM_SANITIZE AND NOT TIDEBLOOM_TSAN AND NOT TIDEBLOOM_FUZZ)
    target_link_options(Tidebloom PRIVATE -Wl,--no-undefined -Wl,-z,defs)
endif()
