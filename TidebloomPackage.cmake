# What the project ships, and the Debian package made of it by CPack (`make package`), with the
# dependencies dpkg-shlibdeps finds in the shared objects:
#   /usr/lib/vst/Tidebloom.so, /usr/lib/vst/TidebloomPrecise.so
#                                 the VST 2.4 plug-ins (install rules in Tidebloom.cmake)
#   /usr/bin/tidebloom-host       the command-line host (install rule in host/CMakeLists.txt)
#   /usr/lib/lv2/Tidebloom.lv2/, /usr/lib/lv2/TidebloomPrecise.lv2/
#                                 the LV2 bundles (install rules in Tidebloom.cmake)
#   /usr/share/man/man1/tidebloom-host.1.gz   the host's manual page, when the build writes one (below)
#   /usr/share/doc/tidebloom/copyright        the licence, in the package only (below)
# scripts/test-package checks the package's contents and, as root, installs and removes it.
include(GNUInstallDirs)

# The target `shipped` builds everything the install rules install, and nothing else: no test, no
# benchmark (`make demo` and `make install` build it).
add_custom_target(shipped)
add_dependencies(shipped Tidebloom TidebloomPrecise TidebloomLV2 TidebloomLV2UI TidebloomPreciseLV2
                 TidebloomPreciseLV2UI tidebloom-host)

# tidebloom-host's manual page: a build that has a target named tidebloom-host-man writing
# TIDEBLOOM_HOST_MAN_PAGE (set in CMakeLists.txt) installs it, compressed as Debian does it, into
# share/man/man1 and puts it into the package.
if(TARGET tidebloom-host-man)
    set(man_gz ${TIDEBLOOM_HOST_MAN_PAGE}.gz)
    add_custom_command(OUTPUT ${man_gz}
                       COMMAND gzip -9 -n -k -f ${TIDEBLOOM_HOST_MAN_PAGE}
                       DEPENDS ${TIDEBLOOM_HOST_MAN_PAGE} tidebloom-host-man
                       COMMENT "Compressing the manual page of tidebloom-host" VERBATIM)
    add_custom_target(tidebloom-host-man-gz ALL DEPENDS ${man_gz})
    add_dependencies(shipped tidebloom-host-man-gz)
    install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Who answers for the package, in its Maintainer field and its copyright file.
set(TIDEBLOOM_CONTACT "Tidebloom developers <tidebloom@users.noreply.invalid>")

# The copyright file, in Debian's machine-readable format, made from LICENSE (holder, year and the
# licence's own text; Debian's name for the MIT licence is "Expat"). Only the package carries it:
# its component is left out of a plain install (`cmake --install`, `make install`).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]+)\n")
    message(FATAL_ERROR "LICENSE names no copyright holder")
endif()
set(copyright_holder "${CMAKE_MATCH_1}")
string(FIND "${licence}" "Permission is hereby granted" at)
if(at LESS 0)
    message(FATAL_ERROR "LICENSE holds no MIT licence text")
endif()
string(SUBSTRING "${licence}" ${at} -1 grant)
string(STRIP "${grant}" grant)
# In a field's continuation lines every line starts with a space and an empty line is " .".
string(REPLACE "\n\n" "\n.\n" grant "${grant}")
string(REPLACE "\n" "\n " grant "${grant}")
set(TIDEBLOOM_COPYRIGHT ${CMAKE_BINARY_DIR}/package-files/copyright)
file(CONFIGURE OUTPUT ${TIDEBLOOM_COPYRIGHT} @ONLY
     CONTENT "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tidebloom
Upstream-Contact: ${TIDEBLOOM_CONTACT}

Files: *
Copyright: ${copyright_holder}
License: Expat
 ${grant}
")
install(FILES ${TIDEBLOOM_COPYRIGHT} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tidebloom
        COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidebloom)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR vendrilax)
set(CPACK_PACKAGE_CONTACT "${TIDEBLOOM_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TIDEBLOOM_CONTACT}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio effect that makes new notes swell in (VST 2.4 and LV2)")
# Wrapped as Debian's tools want it: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Tidebloom detects note onsets in its input, delays the audio by up to 1500
samples (reported as latency) and lets each note it detects fade in over 0.01
to 10 seconds. Tidebloom Precise, beside it, detects notes from the spectrum,
so it also catches a soft note struck under a louder one. The package holds
both as Linux VST 2.4 plug-ins for hosts such as Ardour, REAPER, Bitwig and
Qtractor and as LV2 plug-ins, and tidebloom-host, a command-line host that
renders audio files through VST 2 plug-ins. Tidebloom is free software under
the MIT licence.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# One package of everything a plain install installs, and the copyright file.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Tidebloom;ALL;/" "${CMAKE_BINARY_DIR};Tidebloom;debian;/")
include(CPack)
