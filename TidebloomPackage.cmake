# `make package`: a Debian package made by CPack from the project's install rules, with the
# dependencies dpkg-shlibdeps finds in the shared objects:
#   /usr/lib/vst/Tidebloom.so     the VST 2.4 plug-in (install rule in Tidebloom.cmake)
#   /usr/bin/tidebloom-host       the command-line host (install rule in host/CMakeLists.txt)
#   /usr/lib/lv2/Tidebloom.lv2/   the LV2 bundle (install rules in Tidebloom.cmake)
# scripts/test-package checks the package's contents and, as root, installs and removes it.

# The target `shipped` builds everything the install rules install, and nothing else: no test, no
# benchmark (`make demo` builds it).
add_custom_target(shipped)
add_dependencies(shipped Tidebloom TidebloomLV2 tidebloom-host)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidebloom)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR vendrilax)
set(CPACK_PACKAGE_CONTACT "vendrilax")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio effect that makes every new note swell in (VST 2.4 and LV2)")
set(CPACK_PACKAGE_DESCRIPTION
    "Tidebloom detects note onsets in its input, delays the audio by up to 1500 samples (reported \
as latency) and lets every new note fade in over 0.01 to 10 seconds. The package holds the Linux \
VST 2.4 plug-in for hosts such as Ardour, REAPER, Bitwig and Qtractor, and tidebloom-host, a \
command-line host that renders audio files through VST 2 plug-ins.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
